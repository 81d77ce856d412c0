#include "clockapp/ClockLayout.h"

#include <algorithm>

void FlowClocks(std::vector<TClockBox>& boxes, int areaWidth, int constrainWindowType) {
    int x = 1, y = 1, rowStep = 1;
    for (TClockBox& b : boxes) {
        // A clock alone on its row stays there, however narrow the area.
        if (areaWidth < b.Width + x && constrainWindowType != 1 && x > 1) {
            x = 1;
            y += rowStep;
        }
        b.Left = x;
        b.Top = y;
        rowStep = std::max(rowStep, b.Height);
        x += b.Width;
    }
}

TClientSize ConstrainClientSize(const std::vector<TClockBox>& boxes, int type, int barsHeight,
                                int barsWidth) {
    TClientSize out;
    if (type == 0 || boxes.empty()) return out;
    int sum = 0, right = 0, tallest = 0, bottom = 0;
    for (const TClockBox& b : boxes) {
        sum += b.Width;
        right = std::max(right, b.Left + b.Width);
        tallest = std::max(tallest, b.Height);
        bottom = std::max(bottom, b.Top + b.Height);
    }
    if (type == 1) {
        out.Width = std::max(sum + 2, barsWidth);
        out.Height = tallest + barsHeight;
    } else if (type == 2) {
        out.Width = std::max(right + 2, barsWidth);
    } else if (type == 3) {
        out.Height = bottom + barsHeight;
    }
    return out;
}

int IndexAfterInsert(int index, int position) {
    return index >= 0 && index >= position ? index + 1 : index;
}

int IndexAfterDelete(int index, int position) {
    if (index == position) return -1;
    return index > position ? index - 1 : index;
}

int IndexAfterMove(int index, int from, int to) {
    if (index < 0) return index;
    if (index == from) return to;
    if (from < to && index > from && index <= to) return index - 1;
    if (to < from && index >= to && index < from) return index + 1;
    return index;
}
