#include "vornapp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    vorn::CVornApp theApp;
    if (!theApp.InitInstance(QApplication::arguments())) {
        return 1;
    }
    return QApplication::exec();
}
