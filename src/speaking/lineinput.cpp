#include "speaking/lineinput.hpp"

#include "console/qrcrt.hpp"

namespace speaking {

void readLineSpoken(std::string& text) { text = qrcrt::readLine(256); }

}  // namespace speaking
