// The file dialog a window opens to pick one file, as a function the window
// holds: the program gives it the desktop's dialog, a test its own answer.
#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

// The file picked; none when the user cancels.
using TFileChooser =
    std::function<std::optional<std::string>(const std::string& title, const std::string& dir,
                                             const std::string& qtFilter, QWidget* parent)>;
