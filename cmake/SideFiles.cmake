# The side files of the run folder ${CMAKE_BINARY_DIR}/run, from which the program starts:
# KQ_mix.txt, KQ_rus.txt and KQ_eng.txt are kept in data/ as UTF-8 masters (*.txt.in) and
# converted to Windows-1251 here; KQ_ini.txt is copied as it is. A character that the code
# page cannot hold fails the build.
#
# Target: kinklab_side_files (part of ALL).

find_program(KINKLAB_ICONV iconv REQUIRED)

get_filename_component(KINKLAB_DATA_DIR "${CMAKE_CURRENT_LIST_DIR}/../data" ABSOLUTE)
set(KINKLAB_RUN_DIR "${CMAKE_BINARY_DIR}/run")
set(KINKLAB_CONVERT_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/ConvertToCp1251.cmake")

set(KINKLAB_SIDE_FILES)
foreach(name IN ITEMS KQ_mix KQ_rus KQ_eng)
  set(master "${KINKLAB_DATA_DIR}/${name}.txt.in")
  set(shipped "${KINKLAB_RUN_DIR}/${name}.txt")
  add_custom_command(
    OUTPUT "${shipped}"
    COMMAND "${CMAKE_COMMAND}" "-DICONV=${KINKLAB_ICONV}" "-DMASTER=${master}"
            "-DSHIPPED=${shipped}" -P "${KINKLAB_CONVERT_SCRIPT}"
    DEPENDS "${master}" "${KINKLAB_CONVERT_SCRIPT}"
    COMMENT "Converting ${name}.txt to Windows-1251"
    VERBATIM)
  list(APPEND KINKLAB_SIDE_FILES "${shipped}")
endforeach()

add_custom_command(
  OUTPUT "${KINKLAB_RUN_DIR}/KQ_ini.txt"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${KINKLAB_RUN_DIR}"
  COMMAND "${CMAKE_COMMAND}" -E copy "${KINKLAB_DATA_DIR}/KQ_ini.txt"
          "${KINKLAB_RUN_DIR}/KQ_ini.txt"
  DEPENDS "${KINKLAB_DATA_DIR}/KQ_ini.txt"
  COMMENT "Copying KQ_ini.txt"
  VERBATIM)
list(APPEND KINKLAB_SIDE_FILES "${KINKLAB_RUN_DIR}/KQ_ini.txt")

add_custom_target(kinklab_side_files ALL DEPENDS ${KINKLAB_SIDE_FILES})
