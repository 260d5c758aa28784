#pragma once
// Export decorations shared by the product and its two sibling libraries.
//
// VERRAND_API marks the classes and functions Verrand.dll exports. Objects
// built into Verrand (and the static library the tests link) export them;
// Mossel compiles its own private copy of the few members it shares with
// Verrand; everybody else imports them.
#if defined(VERRAND_BUILDING)
#define VERRAND_API __declspec(dllexport)
#elif defined(MOSSEL_BUILDING)
#define VERRAND_API
#else
#define VERRAND_API __declspec(dllimport)
#endif

// MOSSEL_API marks what Mossel.dll exports. Callers reach those functions
// through Mossel's import library. Its static build (MOSSEL_STATIC) exports
// nothing.
#if defined(MOSSEL_BUILDING) && !defined(MOSSEL_STATIC)
#define MOSSEL_API __declspec(dllexport)
#else
#define MOSSEL_API
#endif

// BRUNLOW_API marks what Brunlow.dll exports.
#if defined(BRUNLOW_BUILDING)
#define BRUNLOW_API __declspec(dllexport)
#else
#define BRUNLOW_API
#endif
