# halvex_delay_imports(<exe target> <dll>...)
# The exe imports these system DLLs through delay-load libraries: the loader maps nothing of
# them before the exe's entry point has limited the library search to the system directory.
# The libraries take the usual names in a folder searched before the toolchain's, so every
# -l<dll> of the link, the runtime's own included, picks them up.
function(halvex_delay_imports exe)
  set(dir ${CMAKE_BINARY_DIR}/delayimp)
  set(libs)
  # Run where they are made: the names of their symbols carry no build folder.
  file(MAKE_DIRECTORY ${dir})
  foreach(dll ${ARGN})
    set(lib ${dir}/lib${dll}.a)
    add_custom_command(OUTPUT ${lib}
      COMMAND ${CMAKE_SOURCE_DIR}/tools/delay_import_lib.sh ${CMAKE_CXX_COMPILER} ${dll} lib${dll}.a
      WORKING_DIRECTORY ${dir}
      DEPENDS ${CMAKE_SOURCE_DIR}/tools/delay_import_lib.sh
      VERBATIM)
    list(APPEND libs ${lib})
  endforeach()
  add_custom_target(${exe}_delay_imports DEPENDS ${libs})
  add_dependencies(${exe} ${exe}_delay_imports)
  target_link_directories(${exe} BEFORE PRIVATE ${dir})
  set_property(TARGET ${exe} APPEND PROPERTY LINK_DEPENDS ${libs})
  # The linker leaves the delay-import directory entry empty and the shipped exe has no
  # symbols: the map tells tools/set_pe_directories.py where the descriptors landed.
  target_link_options(${exe} PRIVATE -Wl,-Map=${CMAKE_BINARY_DIR}/${exe}.map)
endfunction()
