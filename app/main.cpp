#include "vornapp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    vorn::CVornApp theApp;
    const int code = theApp.InitInstance(QApplication::arguments()) ? QApplication::exec() : 1;
    theApp.ExitInstance();
    return code;
}
