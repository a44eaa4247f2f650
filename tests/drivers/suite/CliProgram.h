// zephra-cli of the same build as the suite, for the tests that run it in the guest.
#pragma once

#include <QString>

#include <climits>
#include <unistd.h>

inline QString cliProgram()
{
    char self[PATH_MAX] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return {};
    const QString suite = QString::fromLocal8Bit(self);
    return suite.left(suite.lastIndexOf('/')) + "/../../cli/zephra-cli";
}
