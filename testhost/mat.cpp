// libmat of the test host. The commands' link line names the MAT-file library but calls nothing
// in it; this empty library stands in for it.
namespace testhost {
int matLibraryPresent = 0;
}
