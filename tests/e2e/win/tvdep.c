/*
 * tvdep.dll - a DLL that depjvm.dll (fakejvm.c built to need it) imports
 * (test code only, never shipped): it stands for the DLLs a real JVM
 * library finds in its runtime's bin folder.
 */
__declspec(dllexport) int tvdep_answer(void)
{
    return 42;
}
