// VrViewer: the one application object and the framework's main function.
#include "viewer/app/VrViewerApp.h"

CVrViewerApp theApp;

int main(int argc, char** argv) { return AfxWinMain(argc, argv); }
