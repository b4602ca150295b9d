# Fails when a core source includes a QtGui or QtWidgets header, or a header
# of the window folders. Run by the build before the core library.
set(gui_header_pattern
    "#[ \t]*include[ \t]*[<\"](QtGui|QtWidgets|QtSvg|QtPrintSupport|app/|widgets/|Q(Widget|Dialog|MainWindow|Application|LineEdit|PushButton|Label|MessageBox|FileDialog|Painter|Image|Pixmap|Icon|Font|Color|PdfWriter|GuiApplication|DesktopServices|TextDocument|Action|Menu|ToolBar|StatusBar|TableView|ComboBox|CheckBox|Layout|BoxLayout|GridLayout|FormLayout)[>\"])")
string(REPLACE "," ";" DIRS "${DIRS}")
set(offenders)
foreach(dir ${DIRS})
  file(GLOB files ${SOURCE_DIR}/${dir}/*.cpp ${SOURCE_DIR}/${dir}/*.h)
  foreach(f ${files})
    file(STRINGS ${f} hits REGEX "${gui_header_pattern}")
    if(hits)
      list(APPEND offenders "${f}: ${hits}")
    endif()
  endforeach()
endforeach()
if(offenders)
  list(JOIN offenders "\n" text)
  message(FATAL_ERROR "Core files include GUI headers:\n${text}")
endif()
