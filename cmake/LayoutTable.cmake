# zephra_layout_table(): the stored window layout (resources/MainForm.ui) as a C++ table,
# MainFormTable.h, made at build time by resources/layout-table.py; the interface library
# zephra_layout_table gives its folder to whoever includes it.
function(zephra_layout_table)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(form ${PROJECT_SOURCE_DIR}/resources/MainForm.ui)
  set(script ${PROJECT_SOURCE_DIR}/resources/layout-table.py)
  set(dir ${PROJECT_BINARY_DIR}/layout-table)
  add_custom_command(OUTPUT ${dir}/MainFormTable.h
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND Python3::Interpreter ${script} ${form} ${dir}/MainFormTable.h
    DEPENDS ${script} ${form} VERBATIM)
  add_custom_target(zephra_layout_table_header DEPENDS ${dir}/MainFormTable.h)
  add_library(zephra_layout_table INTERFACE)
  target_include_directories(zephra_layout_table INTERFACE ${dir})
  add_dependencies(zephra_layout_table zephra_layout_table_header)
endfunction()
