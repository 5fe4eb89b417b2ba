/*
 * notjvm.dll - a loadable DLL without JNI_CreateJavaVM (test code only,
 * never shipped), for the case of a runtime whose JVM library is broken.
 */
__declspec(dllexport) int notjvm_answer(void)
{
    return 42;
}
