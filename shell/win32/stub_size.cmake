# Prints the stub's size against its budget (QEV_STUB_BUDGET). A larger stub
# still works (the packer records its real size), so this only warns; the
# end-to-end test e2e_stub_size fails on it.
# Run as: cmake -DSTUB=path -DBUDGET=bytes -P stub_size.cmake
file(SIZE "${STUB}" size)
if(size GREATER BUDGET)
  message(WARNING "qevstub.exe: ${size} bytes, over its budget of ${BUDGET}")
else()
  message(STATUS "qevstub.exe: ${size} bytes (budget ${BUDGET})")
endif()
