/* sint.h: the Slovenian speech synthesiser as a library.
 *
 * A voice is opened on a voice folder (sint.ini, the profiles, the dictionaries,
 * the statistics tables and the packed wave database in data/) and speaks UTF-8
 * text, or SSML with SINT_SSML, into 16-bit signed mono samples at
 * sint_sample_rate() per second, handed to a callback as they are made. No
 * server is involved. For the same text and settings the samples are those the
 * server sends for a STREAM request.
 *
 * Threads: a voice is used by one thread at a time; voices are independent, so
 * one voice per thread speaks in parallel. Voices opened on the same folder
 * share the read-only data (wave tables, dictionaries, statistics tables).
 *
 * Every function that returns int returns SINT_OK (0) or a negative SINT_E_
 * code; sint_strerror() turns a code into a message.
 */
#ifndef SINT_H
#define SINT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && defined(SINT_BUILDING_LIBRARY)
#define SINT_API __declspec(dllexport)
#elif defined(_WIN32)
#define SINT_API __declspec(dllimport)
#else
#define SINT_API __attribute__((visibility("default")))
#endif

typedef struct sint_voice sint_voice;

/* Receives the next samples of the speech; a non-zero return stops it. */
typedef int (*sint_audio_fn)(const int16_t* samples, size_t count, void* user);
/* Receives an SSML <mark> as it is reached: its name and the number of samples
 * of this sint_speak call before it. A non-zero return stops the speech. */
typedef int (*sint_mark_fn)(const char* name, size_t sample, void* user);

/* An event of the speech, for highlighting and lip sync: a word or a phone
 * begins. Offsets count the samples of this sint_speak call. */
#define SINT_EVENT_WORD 1
#define SINT_EVENT_PHONE 2
typedef struct sint_event {
    int type;         /* SINT_EVENT_WORD or SINT_EVENT_PHONE */
    size_t sample;    /* where it begins */
    size_t length;    /* how many samples it lasts */
    size_t word;      /* the word's number in the call, from 0 (a pause: the next word's) */
    const char* name; /* PHONE: its SAMPA symbol, "_" for a pause; WORD: its phones,
                         separated by blanks. Valid during the callback only. */
} sint_event;
/* Receives the events in the order they are heard, before the samples where
 * they begin. A non-zero return stops the speech. */
typedef int (*sint_event_fn)(const sint_event* event, void* user);

#define SINT_SSML 1u

#define SINT_OK 0
#define SINT_E_ARGUMENT (-1)  /* a null pointer, or a setting out of its range */
#define SINT_E_STOPPED (-2)   /* a callback returned non-zero */
#define SINT_E_SYNTHESIS (-3) /* a stage of the synthesiser failed */
#define SINT_E_MEMORY (-4)    /* out of memory */
#define SINT_E_INTERNAL (-5)  /* an unexpected fault inside the library */

/* The settings' ranges and defaults (the server's). */
#define SINT_RATE_MIN (-10) /* each step 3^(1/10) times faster than the one below */
#define SINT_RATE_MAX 10
#define SINT_PITCH_MIN (-50)
#define SINT_PITCH_MAX 50
#define SINT_VOLUME_MIN 1 /* percent */
#define SINT_VOLUME_MAX 100
#define SINT_SPEED_MIN 0.3 /* a factor on top of the rate */
#define SINT_SPEED_MAX 6.0

/* Opens the voice in `folder`; NULL: the folder named by the environment
 * variable SINT_VOICE, else the installed voice. On failure returns NULL and
 * writes a message naming the cause (the missing folder or file) into `error`
 * (cut to error_size - 1 bytes; `error` may be NULL). */
SINT_API sint_voice* sint_open(const char* folder, char* error, size_t error_size);

/* Speaks `utf8_text` (SSML when `flags` has SINT_SSML), calling `audio` with the
 * samples and the mark callback with the marks in the order they are heard.
 * Empty text speaks nothing and returns SINT_OK. */
SINT_API int sint_speak(sint_voice* voice, const char* utf8_text, unsigned flags,
                        sint_audio_fn audio, void* user);

/* Samples per second (16000). */
SINT_API int sint_sample_rate(const sint_voice* voice);

/* The settings of the next sint_speak calls; out of range: SINT_E_ARGUMENT
 * and the setting is unchanged. SSML prosody applies on top of them. */
SINT_API int sint_set_rate(sint_voice* voice, int rate);
SINT_API int sint_set_pitch(sint_voice* voice, int pitch);
SINT_API int sint_set_volume(sint_voice* voice, int volume);
SINT_API int sint_set_speed(sint_voice* voice, double speed);

/* The mark callback of the next sint_speak calls (NULL: none), with its own
 * user pointer. */
SINT_API void sint_set_mark_callback(sint_voice* voice, sint_mark_fn mark, void* user);

/* The event callback of the next sint_speak calls (NULL: none), with its own
 * user pointer. */
SINT_API void sint_set_event_callback(sint_voice* voice, sint_event_fn events, void* user);

/* The message of a code ("unknown error code" for codes not listed above). */
SINT_API const char* sint_strerror(int code);

SINT_API void sint_close(sint_voice* voice);

#ifdef __cplusplus
}
#endif

#endif /* SINT_H */
