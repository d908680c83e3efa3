/* Machine-dependent JNI types for 64-bit Windows (mingw-w64). */
#ifndef TOVEX_WIN_JNI_MD_H
#define TOVEX_WIN_JNI_MD_H

#ifndef JNIEXPORT
#define JNIEXPORT __declspec(dllexport)
#endif
#ifndef JNIIMPORT
#define JNIIMPORT __declspec(dllimport)
#endif
#ifndef JNICALL
#define JNICALL __stdcall
#endif

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
