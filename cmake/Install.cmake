# Installing: `cmake --install build --prefix P` puts KinkLab where a desktop looks for it.
#
#   P/bin/kinklab                       the command that starts the window (data/desktop/kinklab.in)
#   P/libexec/kinklab/kinklab           the window itself
#   P/bin/kinklab-run                   the headless runner, with P/share/man/man1/kinklab-run.1
#   P/share/kinklab/                    the side files, copied into a per-user folder at start
#   P/share/applications/kinklab.desktop, P/share/icons/hicolor/scalable/apps/kinklab.svg
#
# The man page is made from the runner's --help and --version by help2man.

include(GNUInstallDirs)

find_program(KINKLAB_HELP2MAN help2man REQUIRED)
set(KINKLAB_MAN_PAGE "${CMAKE_BINARY_DIR}/kinklab-run.1")
add_custom_command(
  OUTPUT "${KINKLAB_MAN_PAGE}"
  COMMAND "${KINKLAB_HELP2MAN}" --no-info --section 1
          --name "headless runs and collision scans of kinks of the wave equation"
          --output "${KINKLAB_MAN_PAGE}" "$<TARGET_FILE:kinklab-run>"
  DEPENDS kinklab-run
  COMMENT "Making the man page of kinklab-run"
  VERBATIM)
add_custom_target(kinklab_man_page ALL DEPENDS "${KINKLAB_MAN_PAGE}")

# The start command finds the installed files relative to its own folder, so the prefix may
# be chosen at install time.
file(RELATIVE_PATH KINKLAB_BIN_TO_PREFIX "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix")
configure_file("${PROJECT_SOURCE_DIR}/data/desktop/kinklab.in" "${CMAKE_BINARY_DIR}/kinklab-start" @ONLY)

install(TARGETS kinklab-run RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(TARGETS kinklab RUNTIME DESTINATION "${CMAKE_INSTALL_LIBEXECDIR}/kinklab")
install(PROGRAMS "${CMAKE_BINARY_DIR}/kinklab-start" DESTINATION "${CMAKE_INSTALL_BINDIR}" RENAME kinklab)
install(FILES ${KINKLAB_SIDE_FILES} DESTINATION "${CMAKE_INSTALL_DATADIR}/kinklab")
install(FILES "${KINKLAB_MAN_PAGE}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${PROJECT_SOURCE_DIR}/data/desktop/kinklab.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${PROJECT_SOURCE_DIR}/data/desktop/kinklab.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
