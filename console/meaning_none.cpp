// What the screen means, for back-ends that show the cells alone (a
// terminal, the Windows console): nothing more to tell, no place to ask for.
#include "console/conapi.h"

namespace conapi {

void DescribePlace(std::string_view, std::string_view) {}

void DescribeMenu(const std::vector<std::string>&, int, int, Rect) {}

void DescribeText(Rect) {}

void DescribeLook(int, bool) {}

bool DescribeFont(std::string_view, int, int) { return false; }

std::string WantedPlace() { return {}; }

void ForgetWantedPlace() {}

}  // namespace conapi
