// Where the clock controls go in the clock area, and the window size around
// them, as plain computations over the controls' sizes.
#pragma once

#include <optional>
#include <vector>

struct TClockBox {
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

// Flows the boxes left to right from (1, 1), wrapping at AreaWidth unless
// ConstrainWindowType is 1. The row step is the tallest box so far.
void FlowClocks(std::vector<TClockBox>& boxes, int areaWidth, int constrainWindowType);

struct TClientSize {
    std::optional<int> Width, Height;
};
// Client size asked for by ConstrainWindowType; BarsHeight is what the tool
// and status bars take. A width it sets is at least BarsWidth, the width the
// tool bar needs to show every button in its one row.
TClientSize ConstrainClientSize(const std::vector<TClockBox>& boxes, int constrainWindowType,
                                int barsHeight, int barsWidth = 0);

// The title and chime indexes as clocks are inserted, deleted and moved
// (-1 stays -1).
int IndexAfterInsert(int index, int position);
int IndexAfterDelete(int index, int position); // the deleted one itself: -1
int IndexAfterMove(int index, int from, int to);
