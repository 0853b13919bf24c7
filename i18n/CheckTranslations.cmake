# The translation check (ctest -R translations; scripts/translations --check): scans the sources
# into a copy of each i18n/tervo_<lang>.ts and fails when a text has no finished translation, or
# when a translation does not keep its source's placeholders (%1, %s, %0.2f...) in kind and
# order: a printf form with another conversion would read its values wrongly.
#   cmake -DLUPDATE=... -DSOURCE_DIR=... -DWORK_DIR=... -P CheckTranslations.cmake

set(options -I ${SOURCE_DIR}/src -locations none -no-obsolete -silent -tr-function-alias
            translate+=trc,QT_TRANSLATE_NOOP+=TERVO_TR_NOOP,QT_TRANSLATE_NOOP+=TERVO_TR)
file(GLOB ts_files ${SOURCE_DIR}/i18n/tervo_*.ts)
if(NOT ts_files)
  message(FATAL_ERROR "no i18n/tervo_*.ts")
endif()
file(MAKE_DIRECTORY ${WORK_DIR})

# The placeholders of a text, in order: Qt's %1..%99 and printf conversions.
function(placeholders text out)
  string(REPLACE "%%" "" text "${text}")
  string(REGEX MATCHALL "%[-+ #0]*[0-9]*(\\.[0-9]+)?(hh|h|ll|l|z)?[diouxXeEfgGcsp]|%[0-9]+"
         found "${text}")
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(problems 0)
foreach(ts IN LISTS ts_files)
  get_filename_component(name ${ts} NAME)
  set(copy ${WORK_DIR}/${name})
  configure_file(${ts} ${copy} COPYONLY)
  execute_process(
    COMMAND ${LUPDATE} ${options} ${SOURCE_DIR}/src/gui ${SOURCE_DIR}/src/core
            ${SOURCE_DIR}/src/net ${SOURCE_DIR}/src/cli -ts ${copy}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${name}: ${err}")
  endif()
  file(READ ${copy} content)
  # One list item per message (';' would split the items: a text's own become ',').
  string(REPLACE ";" "," content "${content}")
  string(REPLACE "</message>" ";" messages "${content}")
  foreach(message IN LISTS messages)
    if(NOT message MATCHES "<source>([^<]*)</source>")
      continue()
    endif()
    set(source "${CMAKE_MATCH_1}")
    if(message MATCHES "<translation type=\"unfinished\"")
      message(SEND_ERROR "${name}: no translation: ${source}")
      math(EXPR problems "${problems} + 1")
      continue()
    endif()
    if(message MATCHES "<translation>([^<]*)</translation>")
      set(translation "${CMAKE_MATCH_1}")
      placeholders("${source}" want)
      placeholders("${translation}" have)
      if(NOT "${want}" STREQUAL "${have}")
        message(SEND_ERROR "${name}: placeholders ${want} became ${have}: ${source}")
        math(EXPR problems "${problems} + 1")
      endif()
    endif()
  endforeach()
endforeach()
if(problems GREATER 0)
  message(FATAL_ERROR "${problems} text(s) to translate: run scripts/translations, translate "
                      "what it marks unfinished in i18n/*.ts")
endif()
message(STATUS "every text has its translation")
