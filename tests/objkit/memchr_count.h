/* memchr_count.h - the bytes this process has searched with memchr. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

unsigned long long memchr_bytes_searched(void);

#ifdef __cplusplus
}
#endif
