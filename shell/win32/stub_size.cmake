# Prints the stub's size against its budget: the archive offset that the
# configuration block presets, the size the stub is meant to fit in.
# A larger stub still works (the packer records its real size), so this only
# warns; the end-to-end test e2e_stub_image fails on it.
# Run as: cmake -DSTUB=path -DBUDGET=bytes -P stub_size.cmake
file(SIZE "${STUB}" size)
if(size GREATER BUDGET)
  message(WARNING "qevstub.exe: ${size} bytes, over its budget of ${BUDGET}")
else()
  message(STATUS "qevstub.exe: ${size} bytes (budget ${BUDGET})")
endif()
