// Starts the safety copy of DATABASE into BACKUP and ends at once, as a program that is closed
// right after its login: backup_child DATABASE BACKUP.
#include "db/backup.h"

#include <QString>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    db::startBackup(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    return 0;
}
