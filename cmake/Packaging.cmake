# `make package` (or cpack in a build folder) makes the Debian package
# quorvel_VERSION_ARCH.deb from the install rules. Its dependencies come from
# the binaries (dpkg-shlibdeps); its version is the project's.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR Norvesta)
set(CPACK_PACKAGE_CONTACT "The Quorvel developers <quorvel@norvesta.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "rename and retag MP3 files by rules")
# Lines of the control file's long description stay under 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Quorvel puts MP3 collections in order. For each file it reads the ID3 tags"
    "and the path, cuts them into named parts with format strings, normalises"
    "the parts (letter case, word separators, ASCII only, two-digit track"
    "numbers) and composes a new folder, file name and tag values. The window"
    "applies them one file at a time; quorvel-cli previews, applies and undoes"
    "them in batches.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUORVEL_HOMEPAGE})
# Qt's platform plugins come with libqt6gui6's recommendation, which apt
# installs unless told not to.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# The MIT terms ask every copy to carry the licence; Debian keeps it here.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvel RENAME copyright)

include(CPack)
