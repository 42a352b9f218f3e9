// The parts of COM and of the speech API (SAPI 5) that the engine library uses:
// base types, HRESULT codes, IUnknown, IClassFactory, the token and engine
// interfaces, and the structures they pass. Identifiers, method order and
// structure layouts are those of the speech API. On Windows the system headers
// give the COM base (types, HRESULT codes, IUnknown, IClassFactory, task memory)
// and this file adds the speech API's engine side, which the compiler's
// headers lack; elsewhere it declares the COM base too.
#pragma once

#ifdef _WIN32
// windows.h first: the other two build on its types.
// clang-format off
#include <windows.h>
#include <mmreg.h>
#include <objbase.h>
// clang-format on
#else

#include <cstddef>
#include <cstdint>

// ---- Base types ----------------------------------------------------------------

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using USHORT = std::uint16_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using ULONGLONG = std::uint64_t;
using HRESULT = std::int32_t;
using LANGID = WORD;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
// Wide characters of the speech API are UTF-16 code units.
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;

#define STDMETHODCALLTYPE

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return a == b;
}

// ---- HRESULT codes -------------------------------------------------------------

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);

inline bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
inline bool FAILED(HRESULT hr) {
    return hr < 0;
}

// ---- Structures ----------------------------------------------------------------

struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
inline constexpr WORD WAVE_FORMAT_PCM = 1;

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                     void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};

inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Task memory: what a callee hands to its caller (strings of GetStringValue,
// the format of GetOutputFormat) and what the receiver frees.
void* CoTaskMemAlloc(std::size_t size);
void CoTaskMemFree(void* block);

#endif  // _WIN32

// ---- The speech API's engine side ----------------------------------------------

inline constexpr HRESULT SPERR_UNINITIALIZED = static_cast<HRESULT>(0x80045001);
inline constexpr HRESULT SPERR_ALREADY_INITIALIZED = static_cast<HRESULT>(0x80045002);
inline constexpr HRESULT SPERR_NOT_FOUND = static_cast<HRESULT>(0x8004503A);

enum SPVACTIONS {
    SPVA_Speak = 0,
    SPVA_Silence,
    SPVA_Pronounce,
    SPVA_Bookmark,
    SPVA_SpellOut,
    SPVA_Section,
    SPVA_ParseUnknownTag
};

enum SPPARTOFSPEECH {
    SPPS_NotOverriden = -1,
    SPPS_Unknown = 0,
    SPPS_Noun = 0x1000,
    SPPS_Verb = 0x2000,
    SPPS_Modifier = 0x3000,
    SPPS_Function = 0x4000,
    SPPS_Interjection = 0x5000
};

using SPPHONEID = WCHAR;

struct SPVPITCH {
    LONG MiddleAdj;
    LONG RangeAdj;
};

struct SPVCONTEXT {
    LPCWSTR pCategory;
    LPCWSTR pBefore;
    LPCWSTR pAfter;
};

struct SPVSTATE {
    SPVACTIONS eAction;
    LANGID LangID;
    WORD wReserved;
    LONG EmphAdj;
    LONG RateAdj;
    ULONG Volume;
    SPVPITCH PitchAdj;
    ULONG SilenceMSecs;
    SPPHONEID* pPhoneIds;
    SPPARTOFSPEECH ePartOfSpeech;
    SPVCONTEXT Context;
};

struct SPVTEXTFRAG {
    SPVTEXTFRAG* pNext;
    SPVSTATE State;
    LPCWSTR pTextStart;
    ULONG ulTextLen;
    ULONG ulTextSrcOffset;
};

enum SPEVENTENUM {
    SPEI_UNDEFINED = 0,
    SPEI_START_INPUT_STREAM = 1,
    SPEI_END_INPUT_STREAM = 2,
    SPEI_VOICE_CHANGE = 3,
    SPEI_TTS_BOOKMARK = 4,
    SPEI_WORD_BOUNDARY = 5,
    SPEI_PHONEME = 6,
    SPEI_SENTENCE_BOUNDARY = 7,
    SPEI_VISEME = 8,
    SPEI_TTS_AUDIO_LEVEL = 9
};

enum SPEVENTLPARAMTYPE {
    SPET_LPARAM_IS_UNDEFINED = 0,
    SPET_LPARAM_IS_TOKEN,
    SPET_LPARAM_IS_OBJECT,
    SPET_LPARAM_IS_POINTER,
    SPET_LPARAM_IS_STRING
};

struct SPEVENT {
    WORD eEventId;
    WORD elParamType;
    ULONG ulStreamNum;
    ULONGLONG ullAudioStreamOffset;
    WPARAM wParam;
    LPARAM lParam;
};

enum SPVESACTIONS {
    SPVES_CONTINUE = 0,
    SPVES_ABORT = 1,
    SPVES_SKIP = 2,
    SPVES_RATE = 4,
    SPVES_VOLUME = 8
};

enum SPVSKIPTYPE { SPVST_SENTENCE = 1 };

enum SPSTREAMFORMAT { SPSF_16kHz16BitMono = 18 };

// ---- Interfaces ----------------------------------------------------------------

struct ISpObjectTokenCategory;

struct ISpDataKey : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetData(LPCWSTR pszValueName, ULONG cbData,
                                              const BYTE* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetData(LPCWSTR pszValueName, ULONG* pcbData,
                                              BYTE* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetStringValue(LPCWSTR pszValueName, LPCWSTR pszValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStringValue(LPCWSTR pszValueName, LPWSTR* ppszValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDWORD(LPCWSTR pszValueName, DWORD dwValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDWORD(LPCWSTR pszValueName, DWORD* pdwValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenKey(LPCWSTR pszSubKeyName, ISpDataKey** ppSubKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateKey(LPCWSTR pszSubKey, ISpDataKey** ppSubKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteKey(LPCWSTR pszSubKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteValue(LPCWSTR pszValueName) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumKeys(ULONG Index, LPWSTR* ppszSubKeyName) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumValues(ULONG Index, LPWSTR* ppszValueName) = 0;
};

struct ISpObjectToken : ISpDataKey {
    virtual HRESULT STDMETHODCALLTYPE SetId(LPCWSTR pszCategoryId, LPCWSTR pszTokenId,
                                            BOOL fCreateIfNotExist) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetId(LPWSTR* ppszCoMemTokenId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCategory(ISpObjectTokenCategory** ppTokenCategory) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, DWORD dwClsContext,
                                                     REFIID riid, void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStorageFileName(REFCLSID clsidCaller, LPCWSTR pszValueName,
                                                         LPCWSTR pszFileNameSpecifier,
                                                         ULONG nFolder, LPWSTR* ppszFilePath) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveStorageFileName(REFCLSID clsidCaller,
                                                            LPCWSTR pszKeyName,
                                                            BOOL fDeleteFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove(const CLSID* pclsidCaller) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsUISupported(LPCWSTR pszTypeOfUI, void* pvExtraData,
                                                    ULONG cbExtraData, IUnknown* punkObject,
                                                    BOOL* pfSupported) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisplayUI(void* hwndParent, LPCWSTR pszTitle,
                                                LPCWSTR pszTypeOfUI, void* pvExtraData,
                                                ULONG cbExtraData, IUnknown* punkObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE MatchesAttributes(LPCWSTR pszAttributes, BOOL* pfMatches) = 0;
};

struct ISpObjectWithToken : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetObjectToken(ISpObjectToken* pToken) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetObjectToken(ISpObjectToken** ppToken) = 0;
};

struct ISpEventSink : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddEvents(const SPEVENT* pEventArray, ULONG ulCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEventInterest(ULONGLONG* pullEventInterest) = 0;
};

struct ISpTTSEngineSite : ISpEventSink {
    virtual DWORD STDMETHODCALLTYPE GetActions() = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(const void* pBuff, ULONG cb, ULONG* pcbWritten) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRate(LONG* pRateAdjust) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVolume(USHORT* pusVolume) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSkipInfo(SPVSKIPTYPE* peType, LONG* plNumItems) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompleteSkip(LONG ulNumSkipped) = 0;
};

struct ISpTTSEngine : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Speak(DWORD dwSpeakFlags, REFGUID rguidFormatId,
                                            const WAVEFORMATEX* pWaveFormatEx,
                                            const SPVTEXTFRAG* pTextFragList,
                                            ISpTTSEngineSite* pOutputSite) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOutputFormat(const GUID* pTargetFmtId,
                                                      const WAVEFORMATEX* pTargetWaveFormatEx,
                                                      GUID* pOutputFormatId,
                                                      WAVEFORMATEX** ppCoMemOutputWaveFormatEx) = 0;
};

// ---- Interface and format identifiers ------------------------------------------

inline constexpr IID IID_ISpDataKey = {
    0x14056581, 0xE16C, 0x11D2, {0xBB, 0x90, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0xC0}};
inline constexpr IID IID_ISpObjectToken = {
    0x14056589, 0xE16C, 0x11D2, {0xBB, 0x90, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0xC0}};
inline constexpr IID IID_ISpObjectWithToken = {
    0x5B559F40, 0xE952, 0x11D2, {0xBB, 0x91, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0xC0}};
inline constexpr IID IID_ISpEventSink = {
    0xBE7A9CC9, 0x5F9E, 0x11D2, {0x96, 0x0F, 0x00, 0xC0, 0x4F, 0x8E, 0xE6, 0x28}};
inline constexpr IID IID_ISpTTSEngineSite = {
    0x9880499B, 0xCCE9, 0x11D2, {0xB5, 0x03, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};
inline constexpr IID IID_ISpTTSEngine = {
    0xA74D7C8E, 0x4CC5, 0x4F2F, {0xA6, 0xEB, 0x80, 0x4D, 0xEE, 0x18, 0x50, 0x0E}};
inline constexpr GUID SPDFID_WaveFormatEx = {
    0xC31ADBAE, 0x527F, 0x4FF5, {0xA2, 0x30, 0xF6, 0x2B, 0xB6, 0x1F, 0xF7, 0x0C}};

#include <string>

// Wide string literals and strings in the speech API's character type.
#ifdef _WIN32
#define SINT_WIDE(text) L##text
#else
#define SINT_WIDE(text) u##text
#endif
using WideString = std::basic_string<WCHAR>;
