#pragma once

class QWidget;

// Attaches the key filters and the field checks of the parameter table to
// every parameter edit field under root (found by object name), and makes
// the two counter fields Edit14 and Edit157 refuse all keyboard input.
//
// Key filter: each typed character is taken, mapped or discarded before the
// field sees it; backspace, navigation keys and control shortcuts pass. Text
// pasted (keyboard, context menu, middle click), dropped or committed by an
// input method goes through the same filter, as if typed.
//
// Field check: runs when the focus leaves the field for another control of
// the same window (tab key, click on a control, tab strip or button). It does
// not run when the focus goes to another window or to a menu. A check that
// fails shows its message and puts the focus back into the field, bringing
// its tab page to front if needed; when the field was left by clicking a
// button, that click does not run the button's command. Maximum lengths are
// the window's business.
void installFieldGuards(QWidget *root);
