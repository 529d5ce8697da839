#include "asfout/xml_scanner.h"

#include "tests/support/test_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using asfout::XmlScanner;
using Token = XmlScanner::Token;

std::string Ascii(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// The tags of a text as "start:a", "empty:b", "end:a", closed by "done" or "malformed".
std::vector<std::string> Scan(std::u16string_view text)
{
    XmlScanner scanner(text);
    std::vector<std::string> tags;
    for (int guard = 0; guard < 10'000; ++guard) {
        switch (scanner.Next()) {
        case Token::StartTag:
            tags.push_back((scanner.IsSelfClosing() ? "empty:" : "start:") + Ascii(scanner.Name()));
            break;
        case Token::EndTag:
            tags.push_back("end:" + Ascii(scanner.Name()));
            break;
        case Token::EndOfText:
            tags.push_back("done");
            return tags;
        case Token::Malformed:
            tags.push_back("malformed");
            return tags;
        }
    }
    ADD_FAILURE() << "the scanner never reached the end";
    return tags;
}

TEST(XmlScanner, ReportsNestedTagsAndSkipsEverythingElse)
{
    const std::u16string text =
        u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
        u"<!DOCTYPE profile [ <!ELEMENT profile ANY> <!ATTLIST profile a CDATA '>'> ]>\n"
        u"<!-- a comment with <tags> and > -->\n"
        u"<profile a='1'>text &amp; more<![CDATA[<not> a </tag>]]>"
        u"<b/><c x = \"2\"\t></c ><d><e/></d></profile>\n";
    EXPECT_EQ(Scan(text), (std::vector<std::string>{"start:profile", "empty:b", "start:c", "end:c", "start:d",
                                                    "empty:e", "end:d", "end:profile", "done"}));
}

TEST(XmlScanner, ReportsDepthOfEachTag)
{
    XmlScanner scanner(u"<a><b><c/></b></a>");
    std::vector<size_t> depths;
    while (scanner.Next() != Token::EndOfText)
        depths.push_back(scanner.Depth());
    EXPECT_EQ(depths, (std::vector<size_t>{1, 2, 3, 2, 1}));
}

TEST(XmlScanner, DecodesAttributeValues)
{
    XmlScanner scanner(u"<t Plain=\"a b\" single='it\"s' refs=\"&lt;&amp;&gt;&quot;&apos;\" "
                       u"numeric=\"&#65;&#x42;&#x1F600;\" odd=\"&unknown; &#; &#xZZ; & &#1114112;\"/>");
    ASSERT_EQ(scanner.Next(), Token::StartTag);
    EXPECT_EQ(scanner.Attribute("plain"), u"a b");  // names match ignoring ASCII case
    EXPECT_EQ(scanner.Attribute("SINGLE"), u"it\"s");
    EXPECT_EQ(scanner.Attribute("refs"), u"<&>\"'");
    EXPECT_EQ(scanner.Attribute("numeric"), u"AB\U0001F600");
    EXPECT_EQ(scanner.Attribute("odd"), u"&unknown; &#; &#xZZ; & \uFFFD");
    EXPECT_EQ(scanner.Attribute("missing"), std::nullopt);
}

TEST(XmlScanner, AttributesBelongToTheLastStartTagOnly)
{
    XmlScanner scanner(u"<a x='1'><b/></a>");
    ASSERT_EQ(scanner.Next(), Token::StartTag);
    EXPECT_EQ(scanner.Attribute("x"), u"1");
    ASSERT_EQ(scanner.Next(), Token::StartTag);
    EXPECT_EQ(scanner.Attribute("x"), std::nullopt);
    ASSERT_EQ(scanner.Next(), Token::EndTag);
    EXPECT_EQ(scanner.Attribute("x"), std::nullopt);
}

struct MalformedCase {
    const char* name;
    const char16_t* text;
};

void PrintTo(const MalformedCase& c, std::ostream* out) { *out << c.name; }

class MalformedXml : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedXml, EndsInMalformedAndStaysThere)
{
    const std::vector<std::string> tags = Scan(GetParam().text);
    ASSERT_FALSE(tags.empty());
    EXPECT_EQ(tags.back(), "malformed");
    XmlScanner scanner(GetParam().text);
    while (scanner.Next() != Token::Malformed) {
    }
    EXPECT_EQ(scanner.Next(), Token::Malformed);
}

INSTANTIATE_TEST_SUITE_P(Texts, MalformedXml,
                         testing::Values(MalformedCase{"UnclosedElement", u"<a>"},
                                         MalformedCase{"MismatchedEndTag", u"<a></b>"},
                                         MalformedCase{"EndTagWithoutStart", u"</a>"},
                                         MalformedCase{"EndTagAfterTheRoot", u"<a></a></a>"},
                                         MalformedCase{"UnquotedValue", u"<a x=1/>"},
                                         MalformedCase{"UnterminatedValue", u"<a x='1/>"},
                                         MalformedCase{"LessThanInAValue", u"<a x='<'/>"},
                                         MalformedCase{"NoSpaceBetweenAttributes", u"<a x='1'y='2'/>"},
                                         MalformedCase{"AttributeWithoutValue", u"<a x/>"},
                                         MalformedCase{"EqualsWithoutValue", u"<a x=/>"},
                                         MalformedCase{"UnterminatedComment", u"<!-- open"},
                                         MalformedCase{"UnterminatedProcessingInstruction", u"<?pi"},
                                         MalformedCase{"UnterminatedCdata", u"<![CDATA[ open"},
                                         MalformedCase{"UnterminatedStartTag", u"<a"},
                                         MalformedCase{"EmptyTag", u"<>"},
                                         MalformedCase{"SpaceBeforeTheName", u"< a/>"},
                                         MalformedCase{"UnterminatedDoctype", u"<!DOCTYPE [ >"},
                                         MalformedCase{"CrossedElements", u"<a><b></a></b>"},
                                         MalformedCase{"SpaceInsideTheEmptyElementEnd", u"<a/ >"}),
                         klova::test::PrintedName());

TEST(XmlScanner, EveryPrefixOfADocumentIsScannedSafely)
{
    const std::u16string text =
        u"<?xml version=\"1.0\"?><!-- c --><profile name=\"p &amp; q\"><streamconfig bitrate='300000'>"
        u"<![CDATA[x]]><wmmediatype subtype=\"{32564D57-0000-0010-8000-00AA00389B71}\"/></streamconfig></profile>";
    const size_t rootStart = text.find(u"<profile");
    for (size_t length = 0; length < text.size(); ++length) {
        const std::vector<std::string> tags = Scan(std::u16string_view(text).substr(0, length));
        ASSERT_FALSE(tags.empty());
        if (length > rootStart) {  // the root is open, so the text cannot end well
            EXPECT_EQ(tags.back(), "malformed") << "prefix of " << length;
        }
    }
    EXPECT_EQ(Scan(text).back(), "done");
}

}  // namespace
