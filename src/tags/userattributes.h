#pragma once

// Copies the user extended attributes ("user.*": ratings, tags and comments
// that desktops keep beside the content) of one open file to another, so
// that a file rebuilt under the same name keeps them. Returns 0, or the
// errno of the first failure (ENOTSUP when the target's file system keeps
// none while the source has some). A source without any, or on a file
// system without them, gives 0.
int copyUserAttributes(int from, int to);

// What a rename would keep of a file, given to the copy that takes its
// place: its owner and group (as far as this user may give them), its mode,
// its access control list (where the copy's file system keeps one) and its
// user extended attributes. Returns 0, or the errno of setting the mode or of
// copyUserAttributes.
int copyFileAttributes(int from, int to);
