// The system's entry point of a program with windows: the class library runs the application.
#include "framework/afxapp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return AfxWinMain(); }
