// The program's one window.
#pragma once

#include <QMainWindow>

namespace zarvello {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

} // namespace zarvello
