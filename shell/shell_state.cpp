#include "shell/shell_state.h"

// Zero at load: plain arrays and a plain record, so no constructor runs.
char exe_name[EXE_NAME_SIZE];
char message_buffer[MESSAGE_BUFFER_SIZE];
ArchiveHeader header_copy;
uint8_t extraction_completed;
uint32_t failures_reported;
uint8_t unattended;
