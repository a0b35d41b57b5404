# cmake -DICONV=<iconv> -DMASTER=<UTF-8 file> -DSHIPPED=<Windows-1251 file> -P ConvertToCp1251.cmake
# Converts through a temporary file, so a failed conversion never leaves half a file behind.

foreach(var IN ITEMS ICONV MASTER SHIPPED)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ConvertToCp1251.cmake: ${var} is not set")
  endif()
endforeach()

get_filename_component(shipped_dir "${SHIPPED}" DIRECTORY)
file(MAKE_DIRECTORY "${shipped_dir}")
set(temporary "${SHIPPED}.tmp")

execute_process(
  COMMAND "${ICONV}" -f UTF-8 -t CP1251 "${MASTER}"
  OUTPUT_FILE "${temporary}"
  ERROR_VARIABLE iconv_error
  RESULT_VARIABLE iconv_result)

if(NOT iconv_result EQUAL 0)
  file(REMOVE "${temporary}")
  string(STRIP "${iconv_error}" iconv_error)
  message(FATAL_ERROR "${MASTER} cannot be converted to Windows-1251 (a character the code page "
                      "cannot hold, or bad UTF-8): ${iconv_error}")
endif()
file(RENAME "${temporary}" "${SHIPPED}")
