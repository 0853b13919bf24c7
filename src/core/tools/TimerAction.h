#pragma once

namespace tervo {

// What a view's rules ask of its timer. Keep leaves the timer as it is.
enum class TimerAction { Keep, Start, Stop };

}  // namespace tervo
