#pragma once

#include <QString>

#include <functional>

// Hands a file name, web address or mail link to the desktop's default
// action, without examining the result: when nothing can open the target,
// nothing is reported.
namespace ShellOpen
{

void open(const QString &target);

// Tests take the place of the desktop: the hook gets every target instead.
void setHook(std::function<void(const QString &)> hook);

} // namespace ShellOpen
