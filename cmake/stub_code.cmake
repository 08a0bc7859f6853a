# The stub's code generation, shared by the stub (shell/win32/CMakeLists.txt
# says why each flag) and by the benchmark's host build of the stub's decoder
# (bench/), so that the speed measured there is the stub's code's.

# Optimisation flags for compiling and linking; the stub adds its
# Windows-only ones. GCC's; another compiler gets -Os alone.
#   -fno-tree-tail-merge -fno-caller-saves -fno-partial-inlining
#   -fira-region=all     each makes the stub's code smaller, some 110 bytes
#                        together, without slowing the decoder's loops
# QEV_STUB_COLD_FLAGS: the code that runs once per member or less (see
# qev_stub_cold_sources), for size alone:
#   -Oz -fno-move-loop-invariants -fno-if-conversion -fconserve-stack
#   -fira-loop-pressure  loop invariants stay in their loops, branches stay
#                        branches, and registers and stack are allocated for
#                        the smaller code: some 140 bytes more
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(QEV_STUB_CODE_FLAGS -Os -flto -flto-partition=one -fno-tree-loop-distribute-patterns
    -fno-shrink-wrap -fno-jump-tables -fno-tree-tail-merge -fno-caller-saves -fno-partial-inlining
    -fira-region=all)
  set(QEV_STUB_COLD_FLAGS -Oz -fno-move-loop-invariants -fno-if-conversion -fconserve-stack
    -fira-loop-pressure)
else()
  set(QEV_STUB_CODE_FLAGS -Os)
  set(QEV_STUB_COLD_FLAGS -Oz)
endif()

# qev_stub_library_sources(OUT): the sources of the archive logic's layers
# (QEV_LAYERS, the file layer among them), as absolute paths; the layers must
# be read already.
function(qev_stub_library_sources out)
  set(list "")
  foreach(library ${QEV_LAYERS})
    get_target_property(sources ${library} SOURCES)
    get_target_property(dir ${library} SOURCE_DIR)
    foreach(source IN LISTS sources)
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${dir}")
      list(APPEND list "${source}")
    endforeach()
  endforeach()
  set(${out} ${list} PARENT_SCOPE)
endfunction()

# qev_stub_cold_sources(SOURCES...): the code that runs once per member or
# less (start-up, the driver, names, messages, the directory, the file layer)
# and the decoder's code that runs once per table set or input buffer is
# optimised for size alone (QEV_STUB_COLD_FLAGS), in the calling directory;
# the decoder's loops, which run for every byte, stay at -Os.
function(qev_stub_cold_sources)
  set(cold ${ARGN})
  list(FILTER cold EXCLUDE REGEX "/(decode/(fast_loop|block_decoder|crc32|call_filter)|archive/entry_stream|base/memory)\\.cpp$")
  set_source_files_properties(${cold} PROPERTIES COMPILE_OPTIONS "${QEV_STUB_COLD_FLAGS}")
endfunction()
