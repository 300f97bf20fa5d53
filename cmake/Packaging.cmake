# The Debian package, built by CPack (scripts/package.sh). Library dependencies come from the
# binaries themselves (dpkg-shlibdeps); the broker and database servers are never dependencies.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ondrel)
set(CPACK_PACKAGE_VENDOR "Ondrel Tester Software")
set(CPACK_PACKAGE_CONTACT "Ondrel Tester Software <support@ondrel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "run, watch and record tests on Ondrel battery testers")
set(CPACK_PACKAGE_DESCRIPTION [=[Drives electronic loads, charger/dischargers and USB meters over
USB-serial links, up to ten at once: identifies each model, starts and
stops tests, shows live values and curves, records every running test so
that an interrupted one can be continued, and writes data files that its
viewer compares. Includes ondrel-sim, simulated testers to try the
program without one.]=])
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as plugins, so no binary names them: the test history's SQLite driver (the default
# store) is needed, the PostgreSQL one only for a lab store.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
include(CPack)
