#include <QCoreApplication>

#include "TransferCommand.h"

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    return runTransferCommand(QCoreApplication::arguments());
}
