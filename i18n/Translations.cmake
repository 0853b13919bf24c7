# The interface's translations: i18n/tervo_<lang>.ts, made and kept up to date by lupdate from
# the sources, compiled by lrelease into .qm files that the GUI library carries as resources
# (:/i18n/tervo_<lang>.qm). Qt's tools come from Debian's qt6-l10n-tools.
#
#   cmake --build build --target update_translations   (or scripts/translations)
# scans the sources again and brings every .ts up to date; new texts come in unfinished and the
# translation check (ctest -R translations) fails until they are translated.

set(TERVO_LANGUAGES en)
set(TERVO_I18N_DIR ${PROJECT_SOURCE_DIR}/i18n)
# Where the interface's texts are written: the GUI, the demo's note, core, net and the CLI.
set(TERVO_I18N_SOURCES ${PROJECT_SOURCE_DIR}/src/gui ${PROJECT_SOURCE_DIR}/src/core
                       ${PROJECT_SOURCE_DIR}/src/net ${PROJECT_SOURCE_DIR}/src/cli)
# trc(context, text) reads like QCoreApplication::translate; core marks its texts with
# TERVO_TR_NOOP and TERVO_TR (core/text/Translation.h). No line numbers in the .ts files, so
# an edit elsewhere in a source never changes them.
set(TERVO_LUPDATE_OPTIONS
    -I ${PROJECT_SOURCE_DIR}/src -locations none -no-obsolete -silent -tr-function-alias
    translate+=trc,QT_TRANSLATE_NOOP+=TERVO_TR_NOOP,QT_TRANSLATE_NOOP+=TERVO_TR)

set(_tervo_qt_bin_hints /usr/lib/qt6/bin)
if(TARGET Qt6::qmake)
  get_target_property(_tervo_qmake Qt6::qmake IMPORTED_LOCATION)
  if(_tervo_qmake)
    get_filename_component(_tervo_qmake_dir ${_tervo_qmake} DIRECTORY)
    list(PREPEND _tervo_qt_bin_hints ${_tervo_qmake_dir})
  endif()
endif()
find_program(TERVO_LUPDATE NAMES lupdate lupdate-qt6 HINTS ${_tervo_qt_bin_hints} REQUIRED)
find_program(TERVO_LRELEASE NAMES lrelease lrelease-qt6 HINTS ${_tervo_qt_bin_hints} REQUIRED)

# Compiles the .ts files into .qm files and puts them into target's resources under /i18n.
function(tervo_add_translations target)
  set(qm_files)
  foreach(lang IN LISTS TERVO_LANGUAGES)
    set(ts ${TERVO_I18N_DIR}/tervo_${lang}.ts)
    set(qm ${CMAKE_CURRENT_BINARY_DIR}/i18n/tervo_${lang}.qm)
    add_custom_command(
      OUTPUT ${qm}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/i18n
      COMMAND ${TERVO_LRELEASE} -silent ${ts} -qm ${qm}
      DEPENDS ${ts}
      COMMENT "lrelease tervo_${lang}.ts"
      VERBATIM)
    list(APPEND qm_files ${qm})
  endforeach()
  set_source_files_properties(${qm_files} PROPERTIES GENERATED TRUE)
  qt_add_resources(${target} tervo_translations PREFIX /i18n BASE ${CMAKE_CURRENT_BINARY_DIR}/i18n
                   FILES ${qm_files})
endfunction()

set(_tervo_ts_files)
foreach(lang IN LISTS TERVO_LANGUAGES)
  list(APPEND _tervo_ts_files ${TERVO_I18N_DIR}/tervo_${lang}.ts)
endforeach()
add_custom_target(
  update_translations
  COMMAND ${TERVO_LUPDATE} ${TERVO_LUPDATE_OPTIONS} ${TERVO_I18N_SOURCES} -ts ${_tervo_ts_files}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "lupdate: the interface's texts into i18n/*.ts"
  VERBATIM)
