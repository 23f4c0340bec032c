/* mmap_count.h - the calls this process has made to mmap. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

unsigned long mmap_calls(void);

#ifdef __cplusplus
}
#endif
