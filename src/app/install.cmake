# The desktop program as a folder that runs where it is put: the executable,
# its icon, a desktop entry pointing at this folder, and Qt's Spanish texts
# for its own dialogs when they are installed on the build machine.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/resources/mainwindow/orvane.svg DESTINATION .)

set(ORVANE_DESKTOP_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/resources/orvane.desktop.in)
install(CODE "
  set(ORVANE_INSTALL_DIR \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${ORVANE_DESKTOP_TEMPLATE}\" \"\${CMAKE_INSTALL_PREFIX}/orvane.desktop\" @ONLY)
  file(CHMOD \"\${CMAKE_INSTALL_PREFIX}/orvane.desktop\"
       PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                   WORLD_READ WORLD_EXECUTE)
  message(STATUS \"Installing: \${CMAKE_INSTALL_PREFIX}/orvane.desktop\")
")

if(DEFINED QT6_INSTALL_PREFIX AND DEFINED QT6_INSTALL_TRANSLATIONS)
  set(ORVANE_QT_SPANISH "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS}/qtbase_es.qm")
  if(EXISTS "${ORVANE_QT_SPANISH}")
    install(FILES "${ORVANE_QT_SPANISH}" DESTINATION translations)
  endif()
endif()
