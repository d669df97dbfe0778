#include "jet_reader.h"

#include "store_error.h"

namespace somnara {

bool jetSupported()
{
    return false;
}

sqlite::Database loadJetTable(const std::string &, const std::string &displayName)
{
    throw StoreError("“" + displayName + "”是 Access 数据库文件，本版本尚不能读取这种格式");
}

} // namespace somnara
