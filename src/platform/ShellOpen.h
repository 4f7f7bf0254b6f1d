#pragma once

#include <QString>

#include <functional>

// Hands a file name, web address or mail link to the desktop's default
// action, without examining the result: when nothing can open the target,
// nothing is reported.
namespace ShellOpen
{

void open(const QString &target);

// As open() for a web address or mail link, but tells when nothing opened
// it: failed runs (once, from the event loop, perhaps after this returned)
// when the desktop's opener (xdg-open) is not installed, cannot be started
// or ends with a failure, as it does when no browser or mail program is
// installed behind it. With a hook set, the hook takes the target and
// nothing fails.
void open(const QString &target, std::function<void()> failed);

// Tests take the place of the desktop: the hook gets every target instead.
void setHook(std::function<void(const QString &)> hook);

// What a language file may make the program open. A language file travels
// between technicians by mail, so the names and addresses it holds are
// checked before they reach open(); each function gives the target to open,
// or an empty text when the name must not be opened at all.

// A help page: a plain file name (no folder part, no "..", no separator of
// either kind, no control character) of an existing regular file in folder,
// with the extension .html or .htm in any case. A link in the folder counts
// only when the file it names is in the folder too. The absolute path.
QString helpFile(const QString &folder, const QString &name);

// A web address: http or https, well formed, with a host and no user name
// in front of it. The short form "www.host/..." stands for https, as the
// shipped language files write it.
QString webAddress(const QString &text);

// A mail link: the address alone ("local@domain.tld": no blank, no '?',
// '&', '%', '/' or ':', nothing but letters, digits and ".+_-" before the
// '@'), with the subject as the link's only header, its '&', '?', '#', '%',
// '=' and '+' escaped so it cannot add another.
QString mailLink(const QString &address, const QString &subject);

} // namespace ShellOpen
