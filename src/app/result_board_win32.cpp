#include "app/result_board_win32.h"

namespace rw::app {

ResultBoard& resultBoard() {
    static auto* board = new ResultBoard;
    return *board;
}

}  // namespace rw::app
