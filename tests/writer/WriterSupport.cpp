#include "writer/WriterSupport.h"

#include "platform/BinaryStream.h"
#include "reader/Reader.h"

#include <fstream>
#include <sys/xattr.h>

namespace qmk::test {

// The header as every conversion starts it: construction values, then the
// working defaults that the reader gives a fresh record.
void applyWorkingDefaults(VLQmkaProVersion& h) {
    ConversionDocument d;
    d.qmkaVrs = std::make_unique<VLQmkaProVersion>();
    ResetQmkaVersion(d);
    h = *d.qmkaVrs;
}

std::string expectedDefaultHeader() {
    Bytes b(512);
    b.be16(0, 6200).be32(2, 12000).u8(7, 1).be16(8, 1001).be32(10, 8000).be16(14, 2);
    b.u8(16, 46).u8(18, 39).u8(20, 45).u8(22, 45).u8(24, 46);
    b.pstr(26, "Sans titre");
    b.be16(68, 45).u8(70, 4).u8(72, 4).u8(73, 25).be16(77, 31);
    b.u8(81, 1).u8(82, 1).u8(86, 1).raw(88, "&h00DDDDEE");
    b.be16(128, 43).be16(130, 620).be16(132, 450).be16(134, 13);
    b.be16(146, 43).be16(150, 480).be16(152, 13);
    b.be16(164, 515).be16(166, 620).be16(168, 250).be16(170, 13);
    b.be16(182, 545).be16(186, 200).be16(188, 13);
    b.be16(200, 565).be16(202, 10).be16(204, 200).be16(206, 13);
    b.be16(236, 470).be16(238, 700).be16(240, 300).be16(242, 13);
    b.pstr(380, "Impression sans titre").u8(456, 1).pstr(460, "000101");
    return b.str();
}

bool supportsCodes(const std::filesystem::path& folder) {
    auto probe = folder / ".codes-probe";
    std::ofstream(probe).put('x');
    bool ok = setxattr(probe.c_str(), "user.qmk-probe", "1", 1, 0) == 0;
    std::filesystem::remove(probe);
    return ok;
}

std::filesystem::path DocFolderTest::source(const std::string& name, const std::string& bytes,
                                            const std::string& creator) {
    auto p = dir.write(name, bytes);
    FolderItem f(p);
    if (!creator.empty() && !f.SetMacTypeAndCreator("TEXT", creator))
        ADD_FAILURE() << "cannot set the creator code here; set QMK_TEST_TMPDIR";
    h.setFileToConvert(f);
    return p;
}

std::set<std::string> DocFolderTest::names() const {
    std::set<std::string> r;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        r.insert(e.path().filename().string());
    return r;
}

} // namespace qmk::test
