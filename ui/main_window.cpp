// The program's one window.
#include "main_window.h"

namespace zarvello {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName("Form1");
    setWindowTitle("Zarvello");
}

} // namespace zarvello
