#pragma once
/* Dakoral: binary transfer front. One request (a command byte and its
   parameter bytes) and its reply per call, over

   - "LAN" + host [":" port]: handed to libLanDakoral.so (loaded by name, from
     the program's folder first, then this library's folder, then the normal
     library search path), which carries the frames over TCP with its login,
     lock and log file;
   - "COMn" (mapped to a device by the [Ports] section of "Dakoral.ini", else
     /dev/ttyS<n-1>) or a device path: the same frames on the serial line, with
     no login and no logout byte.

   Results: open gives a handle or null; DAKR_GetData gives DAKR_OK (0) or a
   non-zero code; DAKR_Close gives 1, or 0 for a null or unknown handle.
   DAKR_GetLastError tells why the calling thread's last failed open or
   request failed. */

#ifdef _WIN32
#define DAKR_CALL __stdcall
#define DAKR_API __declspec(dllexport)
#else
#define DAKR_CALL
#define DAKR_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void* DAKR_HANDLE;

#define DAKR_OK 0
#define DAKR_ERR_FAILED 1 /* no valid reply after the retries, refusal, cancel, bad arguments */
#define DAKR_ERR_HANDLE 4 /* null or unknown handle */
/* A LAN handle also passes on the other codes of the LAN library
   (7 no connection, 8 login time-out, 11 cancelled while connecting,
   12 authentication error, 13 access denied). */

/* Reasons that only DAKR_GetLastError gives. On a serial line the reason is
   that of the last attempt; over the LAN, DAKR_GetLastError gives the LAN
   library's code, which does not tell a refusal, a damaged reply and silence
   apart (1 for all three). */
#define DAKR_ERR_OPEN 20    /* the port could not be opened (the system's message) */
#define DAKR_ERR_TIMEOUT 21 /* no reply within the reply time */
#define DAKR_ERR_REFUSED 22 /* the display refused the request (status 0xFE) */
#define DAKR_ERR_DAMAGED 23 /* a reply came but failed its checksum */
#define DAKR_ERR_CLOSED 24  /* the line failed or was closed */
#define DAKR_ERR_CANCEL 25  /* the caller's cancel flag was set */

/* Largest reply data copied into the caller's buffer. */
#define DAKR_MAX_REPLY 1152

/* Opens a port. timeoutSec is the reply time of one attempt (at most one day)
   and retryCount the number of attempts (0 takes "Dakoral.ini": [Common]
   Timeout 10 and Retry 3 for a serial line, the LAN library's settings for
   LAN); baudRate is the serial rate (0 = 115200). account, password,
   displayId and connFlags go to the LAN library; a serial line ignores them.
   cancel, when not null, points to an int the caller sets non-zero to abandon
   a wait; it must outlive the handle. Null on failure. */
DAKR_API DAKR_HANDLE DAKR_CALL DAKR_OpenIF(const char* port, const char* account, const char* password,
                                           int displayId, int timeoutSec, int retryCount, int baudRate,
                                           unsigned int connFlags, int* cancel);

DAKR_API int DAKR_CALL DAKR_Close(DAKR_HANDLE handle);

/* Sends *command with paramLen parameter bytes and waits for its reply. On
   success the reply data go to reply (at most DAKR_MAX_REPLY bytes, and at
   most *size bytes when *size is smaller on entry) and *size receives the
   real reply length; on failure *size is 0. command, reply and size must not
   be null; params may be null only when paramLen is 0. */
DAKR_API int DAKR_CALL DAKR_GetData(DAKR_HANDLE handle, const unsigned char* command, const unsigned char* params,
                                    unsigned char* reply, int paramLen, int* size);

/* Why the calling thread's last failed DAKR_OpenIF (null) or DAKR_GetData
   (non-zero) failed: one of the codes above, or a DAKR_GetData code
   (DAKR_OK when no call of this thread has failed yet); and a one-line text
   in message (size bytes, cut to fit; may be null). A later failure replaces
   it; a successful call leaves it. Not one of the three calls the report
   program makes: a library taking this one's place may lack it, so callers
   look it up at run time. */
DAKR_API int DAKR_CALL DAKR_GetLastError(char* message, int size);

#ifdef __cplusplus
}
#endif
