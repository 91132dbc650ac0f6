#include "tools/merge/MergeCommand.h"

#include <QString>
#include <QStringList>

// Runs `merge -o TARGET SOURCE...` as the program does.
int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return tess::tools::mergeMain(args, stdout, stderr);
}
