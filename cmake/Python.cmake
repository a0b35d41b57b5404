# The Python module: the package python/kinklab with its compiled half _kinklab, put together in
# build/python/kinklab, so that `PYTHONPATH=build/python /usr/bin/python3` imports it, and
# installed by `cmake --install` into P/lib/python3.X/dist-packages/kinklab (on Debian's
# sys.path for the prefixes /usr/local and /usr; any other prefix adds that folder to
# PYTHONPATH).
set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The interpreter the module is built for")
find_package(Python3 REQUIRED COMPONENTS Interpreter Development.Module)
set(PYBIND11_FINDPYTHON ON)
find_package(pybind11 CONFIG REQUIRED)
pybind11_add_module(_kinklab src/python/kinklab_module.cpp)
target_link_libraries(_kinklab PRIVATE kinklab_cli)
set(KINKLAB_PYTHON_PACKAGE "${CMAKE_BINARY_DIR}/python/kinklab")
set_target_properties(_kinklab PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${KINKLAB_PYTHON_PACKAGE}")
file(GLOB KINKLAB_PYTHON_FILES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/python/kinklab/*.py")
set(KINKLAB_PYTHON_COPIES)
foreach(file ${KINKLAB_PYTHON_FILES})
  get_filename_component(name "${file}" NAME)
  add_custom_command(OUTPUT "${KINKLAB_PYTHON_PACKAGE}/${name}"
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different "${file}" "${KINKLAB_PYTHON_PACKAGE}/${name}"
                     DEPENDS "${file}" VERBATIM)
  list(APPEND KINKLAB_PYTHON_COPIES "${KINKLAB_PYTHON_PACKAGE}/${name}")
endforeach()
add_custom_target(kinklab_python ALL DEPENDS ${KINKLAB_PYTHON_COPIES} _kinklab)

include(GNUInstallDirs)
set(KINKLAB_PYTHON_DIR
    "${CMAKE_INSTALL_LIBDIR}/python${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}/dist-packages"
    CACHE STRING "Where cmake --install puts the package kinklab, relative to the prefix")
install(TARGETS _kinklab LIBRARY DESTINATION "${KINKLAB_PYTHON_DIR}/kinklab")
install(FILES ${KINKLAB_PYTHON_FILES} DESTINATION "${KINKLAB_PYTHON_DIR}/kinklab")
