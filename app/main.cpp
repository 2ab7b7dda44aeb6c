#include "vornview.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    vorn::CVornView view;
    view.show();
    return QApplication::exec();
}
