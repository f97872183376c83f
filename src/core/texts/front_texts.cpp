#include "texts/front_texts.h"

namespace texts {

std::string NoDeviceSelected()
{
    return "DEVICE が選択されていません。";
}
std::string SelectDeviceStatus()
{
    return " !! デバイスを選択してください。";
}

std::string StatusThenNext(const std::string &done, const std::string &next)
{
    return done + "　" + next;
}

} // namespace texts
