#pragma once

// Copies the user extended attributes ("user.*": ratings, tags and comments
// that desktops keep beside the content) of one open file to another, so
// that a file rebuilt under the same name keeps them. Returns 0, or the
// errno of the first failure (ENOTSUP when the target's file system keeps
// none while the source has some). A source without any, or on a file
// system without them, gives 0.
int copyUserAttributes(int from, int to);
