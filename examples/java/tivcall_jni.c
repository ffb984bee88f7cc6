/* libtivcall for Java: the C functions as native methods of TivCall.
 *
 * Texts cross as UTF-8 bytes: JNI's own string conversion is a modified UTF-8
 * (a NUL and the characters beyond the first 65536 written differently) that
 * the engine's JSON parser rightly refuses. */
#include <jni.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "tivcall/tivcall.h"

JNIEXPORT jbyteArray JNICALL Java_TivCall_invoke(JNIEnv *env, jclass cls, jbyteArray request) {
    (void)cls;
    if (!request) return NULL;
    const jsize length = (*env)->GetArrayLength(env, request);
    char *text = malloc((size_t)length + 1);
    if (!text) return NULL;
    (*env)->GetByteArrayRegion(env, request, 0, length, (jbyte *)text);
    text[length] = '\0';
    char *answer = NULL;
    tiv_invoke(text, &answer);
    free(text);
    if (!answer) return NULL;
    const size_t size = strlen(answer);
    jbyteArray out = NULL;
    if (size <= INT32_MAX) {
        out = (*env)->NewByteArray(env, (jsize)size);
        if (out) (*env)->SetByteArrayRegion(env, out, 0, (jsize)size, (const jbyte *)answer);
    }
    tiv_free(answer);
    return out;
}

JNIEXPORT void JNICALL Java_TivCall_close(JNIEnv *env, jclass cls) {
    (void)env;
    (void)cls;
    tiv_close();
}
