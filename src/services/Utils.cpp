#include "services/Utils.h"

Utils& Utils::sharedUtils()
{
    static Utils instance;
    return instance;
}
