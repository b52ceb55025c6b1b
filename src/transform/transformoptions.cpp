#include "transformoptions.h"

#include "profiles/profile.h"

TransformOptions TransformOptions::fromProfile(const Profile& profile) {
    return TransformOptions{profile.ansi, profile.caseMode, profile.separator};
}
