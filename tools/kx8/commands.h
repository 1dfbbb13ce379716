// The subcommands of kx8: each takes the arguments after its own name.
#pragma once

extern const char* const kUsage;

int ConcordMain(int argc, char** argv);
int ConvertMain(int argc, char** argv);
int WordlistMain(int argc, char** argv);
int CompareMain(int argc, char** argv);
int FilesMain(int argc, char** argv);
int CollocatesMain(int argc, char** argv);
int ClustersMain(int argc, char** argv);
int KeywordsMain(int argc, char** argv);
int DispersionMain(int argc, char** argv);
int ServeMain(int argc, char** argv);
