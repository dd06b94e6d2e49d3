# cpack -G DEB: one package, "marlowen", of what cmake --install puts under
# /usr. Its run-time dependencies are read from the installed binaries
# (dpkg-shlibdeps); scripts/package.sh builds it, checks it and tries it on a
# fresh root.

set(CPACK_PACKAGE_NAME marlowen)
set(CPACK_PACKAGE_VENDOR "The Marlowen developers")
set(CPACK_PACKAGE_CONTACT "The Marlowen developers <developers@marlowen.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "recover contacts, messages, calls and notes from phone backups")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

# Debian wants 0755 directories whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A Debian revision of its own, so the changelog is changelog.Debian.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help pages open in the desktop's viewer through xdg-open; without it
# they are shown in the program.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# CPack puts the summary on the synopsis line itself; the text below is the
# extended description only (a repeated synopsis is a lintian finding).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Marlowen brings back the contacts, messages, calls, notes, photos and
videos of a phone from the backups that the phone-sync software keeps on a
computer, including records that were deleted on the phone. Live records
are read by SQL, deleted ones carved out of the raw SQLite pages; the
records are exported as text files, vCards, CSV tables or an HTML
report. Encrypted backups are read
with their password. A backup is never written to.
.
The package holds the desktop program marlowen and the command-line
program marlowen-cli.")

include(CPack)
