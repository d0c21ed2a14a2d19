#include "HeaderParser.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

namespace
{
struct FParseError
{
	int Line;
	std::string Message;
};

[[noreturn]] void Fail(int Line, std::string Message)
{
	throw FParseError{Line, std::move(Message)};
}

enum class ETokenKind
{
	Identifier,
	Number,
	String,
	Char,
	Symbol,
	End,
};

struct FToken
{
	ETokenKind Kind = ETokenKind::End;
	/** For a string literal the text it stands for (UTF-8); otherwise the token as written. */
	std::string Text;
	int Line = 0;
};

struct FDirective
{
	std::string Text;
	int Line = 0;
};

bool IsIdentifierStart(char C)
{
	return std::isalpha(static_cast<unsigned char>(C)) || C == '_';
}

bool IsIdentifierChar(char C)
{
	return std::isalnum(static_cast<unsigned char>(C)) || C == '_';
}

// A copy of Core's ASCII case comparison: the header tool is built before Core and stays free of it.
bool EqualsIgnoreCase(std::string_view A, std::string_view B)
{
	return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
		return std::tolower(static_cast<unsigned char>(X)) == std::tolower(static_cast<unsigned char>(Y));
	});
}

// A copy of FString::ToUtf8's encoder: the header tool is built before Core and stays free of it.
void AppendUtf8(std::string& Out, uint32_t Code)
{
	if (Code < 0x80)
	{
		Out.push_back(static_cast<char>(Code));
	}
	else if (Code < 0x800)
	{
		Out.push_back(static_cast<char>(0xC0 | (Code >> 6)));
		Out.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
	}
	else if (Code < 0x10000)
	{
		Out.push_back(static_cast<char>(0xE0 | (Code >> 12)));
		Out.push_back(static_cast<char>(0x80 | ((Code >> 6) & 0x3F)));
		Out.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
	}
	else
	{
		Out.push_back(static_cast<char>(0xF0 | (Code >> 18)));
		Out.push_back(static_cast<char>(0x80 | ((Code >> 12) & 0x3F)));
		Out.push_back(static_cast<char>(0x80 | ((Code >> 6) & 0x3F)));
		Out.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
	}
}

/** Splits the header into tokens and preprocessor lines, skipping comments and white space. */
class FLexer
{
public:
	explicit FLexer(const std::string& InText)
		: Text(InText)
	{
	}

	void Run(std::vector<FToken>& OutTokens, std::vector<FDirective>& OutDirectives)
	{
		bool bLineStart = true;
		while (Pos < Text.size())
		{
			const char C = Text[Pos];
			if (C == '\n')
			{
				++Line;
				++Pos;
				bLineStart = true;
			}
			else if (C == '\\' && Peek(1) == '\n')
			{
				Pos += 2;
				++Line;
			}
			else if (std::isspace(static_cast<unsigned char>(C)))
			{
				++Pos;
			}
			else if (C == '/' && Peek(1) == '/')
			{
				SkipLineComment();
			}
			else if (C == '/' && Peek(1) == '*')
			{
				SkipBlockComment();
			}
			else if (C == '#' && bLineStart)
			{
				OutDirectives.push_back(ReadDirective());
			}
			else
			{
				bLineStart = false;
				OutTokens.push_back(ReadToken());
			}
		}
		OutTokens.push_back(FToken{ETokenKind::End, std::string(), Line});
	}

private:
	char Peek(size_t Offset) const { return Pos + Offset < Text.size() ? Text[Pos + Offset] : '\0'; }

	void SkipLineComment()
	{
		while (Pos < Text.size() && Text[Pos] != '\n')
		{
			if (Text[Pos] == '\\' && Peek(1) == '\n')
			{
				++Line;
				++Pos;
			}
			++Pos;
		}
	}

	void SkipBlockComment()
	{
		const int StartLine = Line;
		const size_t End = Text.find("*/", Pos + 2);
		if (End == std::string::npos)
		{
			Fail(StartLine, "comment is not closed");
		}
		Line += static_cast<int>(
			std::count(Text.begin() + static_cast<std::ptrdiff_t>(Pos), Text.begin() + static_cast<std::ptrdiff_t>(End), '\n'));
		Pos = End + 2;
	}

	FDirective ReadDirective()
	{
		FDirective Directive{std::string(), Line};
		++Pos;
		while (Pos < Text.size() && Text[Pos] != '\n')
		{
			if (Text[Pos] == '\\' && Peek(1) == '\n')
			{
				++Line;
				Pos += 2;
				continue;
			}
			if (Text[Pos] == '/' && Peek(1) == '*')
			{
				SkipBlockComment();
				continue;
			}
			if (Text[Pos] == '/' && Peek(1) == '/')
			{
				SkipLineComment();
				continue;
			}
			Directive.Text.push_back(Text[Pos++]);
		}
		return Directive;
	}

	FToken ReadToken()
	{
		const char C = Text[Pos];
		if (IsIdentifierStart(C))
		{
			const size_t Start = Pos;
			while (Pos < Text.size() && IsIdentifierChar(Text[Pos]))
			{
				++Pos;
			}
			const std::string Word = Text.substr(Start, Pos - Start);
			const bool bLiteralPrefix = Word == "u8" || Word == "u" || Word == "U" || Word == "L" || Word == "R" || Word == "u8R" ||
				Word == "uR" || Word == "UR" || Word == "LR";
			if (bLiteralPrefix && Peek(0) == '"')
			{
				return ReadString(Word.back() == 'R');
			}
			if (bLiteralPrefix && Word.back() != 'R' && Peek(0) == '\'')
			{
				return ReadChar();
			}
			return FToken{ETokenKind::Identifier, Word, Line};
		}
		if (std::isdigit(static_cast<unsigned char>(C)) || (C == '.' && std::isdigit(static_cast<unsigned char>(Peek(1)))))
		{
			const size_t Start = Pos;
			while (Pos < Text.size())
			{
				const char N = Text[Pos];
				const char Previous = Pos > Start ? Text[Pos - 1] : '\0';
				const bool bExponentSign =
					(N == '+' || N == '-') && (Previous == 'e' || Previous == 'E' || Previous == 'p' || Previous == 'P');
				const bool bSeparator = N == '\'' && std::isxdigit(static_cast<unsigned char>(Peek(1)));
				if (!(IsIdentifierChar(N) || N == '.' || bExponentSign || bSeparator))
				{
					break;
				}
				++Pos;
			}
			return FToken{ETokenKind::Number, Text.substr(Start, Pos - Start), Line};
		}
		if (C == '"')
		{
			return ReadString(false);
		}
		if (C == '\'')
		{
			return ReadChar();
		}
		if (C == ':' && Peek(1) == ':')
		{
			Pos += 2;
			return FToken{ETokenKind::Symbol, "::", Line};
		}
		++Pos;
		return FToken{ETokenKind::Symbol, std::string(1, C), Line};
	}

	FToken ReadChar()
	{
		const int StartLine = Line;
		++Pos;
		while (Pos < Text.size() && Text[Pos] != '\'')
		{
			if (Text[Pos] == '\n')
			{
				Fail(StartLine, "character literal is not closed");
			}
			Pos += Text[Pos] == '\\' ? 2 : 1;
		}
		if (Pos >= Text.size())
		{
			Fail(StartLine, "character literal is not closed");
		}
		++Pos;
		return FToken{ETokenKind::Char, std::string(), StartLine};
	}

	/** Pos is at the opening quote. */
	FToken ReadString(bool bRaw)
	{
		const int StartLine = Line;
		++Pos;
		FToken Token{ETokenKind::String, std::string(), StartLine};
		if (bRaw)
		{
			const size_t Open = Text.find('(', Pos);
			if (Open == std::string::npos || Open - Pos > 16)
			{
				Fail(StartLine, "raw string literal has no valid delimiter");
			}
			const std::string Closing = ")" + Text.substr(Pos, Open - Pos) + "\"";
			const size_t Close = Text.find(Closing, Open + 1);
			if (Close == std::string::npos)
			{
				Fail(StartLine, "raw string literal is not closed");
			}
			Token.Text = Text.substr(Open + 1, Close - Open - 1);
			Line += static_cast<int>(std::count(Token.Text.begin(), Token.Text.end(), '\n'));
			Pos = Close + Closing.size();
			return Token;
		}
		for (;;)
		{
			if (Pos >= Text.size() || Text[Pos] == '\n')
			{
				Fail(StartLine, "string literal is not closed on its line");
			}
			const char C = Text[Pos++];
			if (C == '"')
			{
				return Token;
			}
			if (C != '\\')
			{
				Token.Text.push_back(C);
				continue;
			}
			ReadEscape(Token.Text, StartLine);
		}
	}

	/** Pos is just past the backslash. */
	void ReadEscape(std::string& Out, int StartLine)
	{
		if (Pos >= Text.size())
		{
			Fail(StartLine, "string literal is not closed");
		}
		const char E = Text[Pos++];
		switch (E)
		{
		case 'n':
			Out.push_back('\n');
			return;
		case 't':
			Out.push_back('\t');
			return;
		case 'r':
			Out.push_back('\r');
			return;
		case 'a':
			Out.push_back('\a');
			return;
		case 'b':
			Out.push_back('\b');
			return;
		case 'f':
			Out.push_back('\f');
			return;
		case 'v':
			Out.push_back('\v');
			return;
		case '\\':
		case '\'':
		case '"':
		case '?':
			Out.push_back(E);
			return;
		case '\n':
			++Line;
			return;
		case 'x':
		case 'u':
		case 'U':
		{
			const size_t MaxDigits = E == 'x' ? std::string::npos : (E == 'u' ? 4 : 8);
			uint32_t Code = 0;
			size_t Digits = 0;
			while (Pos < Text.size() && Digits < MaxDigits && std::isxdigit(static_cast<unsigned char>(Text[Pos])))
			{
				const char H = static_cast<char>(std::tolower(static_cast<unsigned char>(Text[Pos++])));
				Code = (Code << 4) | static_cast<uint32_t>(H <= '9' ? H - '0' : H - 'a' + 10);
				++Digits;
			}
			if (Digits == 0 || (E != 'x' && Digits != MaxDigits) || Code > 0x10FFFF)
			{
				Fail(Line, std::string("malformed \\") + E + " escape in a string literal");
			}
			AppendUtf8(Out, Code);
			return;
		}
		default:
			if (E >= '0' && E <= '7')
			{
				uint32_t Code = static_cast<uint32_t>(E - '0');
				for (int Digit = 1; Digit < 3 && Pos < Text.size() && Text[Pos] >= '0' && Text[Pos] <= '7'; ++Digit)
				{
					Code = (Code << 3) | static_cast<uint32_t>(Text[Pos++] - '0');
				}
				AppendUtf8(Out, Code);
				return;
			}
			Fail(Line, std::string("unknown escape \\") + E + " in a string literal");
		}
	}

	const std::string& Text;
	size_t Pos = 0;
	int Line = 1;
};

/** One entry of a UCLASS(...) or UPROPERTY(...) list: a flag, Name = Value, or Name = (list). */
struct FSpecifier
{
	std::string Name;
	std::string Value;
	bool bHasValue = false;
	bool bIsList = false;
	std::vector<FSpecifier> Children;
	int Line = 0;
};

constexpr std::string_view SupportedTypes = "bool, int32, float, FString";
constexpr std::string_view ClassSpecifiers = "config, defaultconfig, Abstract, MinimalAPI, meta";
constexpr std::string_view PropertySpecifiers =
	"config, EditAnywhere, EditDefaultsOnly, VisibleAnywhere, VisibleDefaultsOnly, Transient, Category, meta";

class FParser
{
public:
	FParser(const std::vector<FToken>& InTokens)
		: Tokens(InTokens)
	{
	}

	void Run(FReflectedHeader& OutHeader)
	{
		while (Peek().Kind != ETokenKind::End)
		{
			const FToken& Token = Next();
			if (Token.Kind != ETokenKind::Identifier)
			{
				continue;
			}
			if (Token.Text == "UCLASS")
			{
				OutHeader.Classes.push_back(ParseClass(Token.Line));
			}
			else if (Token.Text == "USTRUCT" || Token.Text == "UENUM" || Token.Text == "UFUNCTION" || Token.Text == "UINTERFACE")
			{
				Fail(Token.Line, Token.Text + " is not supported by this header tool; only UCLASS classes are reflected");
			}
			else if (Token.Text == "UPROPERTY" || Token.Text == "GENERATED_BODY")
			{
				Fail(Token.Line, Token.Text + " outside the body of a UCLASS class");
			}
		}
	}

private:
	const FToken& Peek(size_t Offset = 0) const { return Tokens[std::min(Pos + Offset, Tokens.size() - 1)]; }
	const FToken& Next()
	{
		const FToken& Token = Peek();
		Pos = std::min(Pos + 1, Tokens.size() - 1);
		return Token;
	}
	bool IsSymbol(const FToken& Token, std::string_view Symbol) const { return Token.Kind == ETokenKind::Symbol && Token.Text == Symbol; }
	void ExpectSymbol(std::string_view Symbol, std::string_view Context)
	{
		const FToken& Token = Next();
		if (!IsSymbol(Token, Symbol))
		{
			Fail(Token.Line, "expected '" + std::string(Symbol) + "' " + std::string(Context) + ", found " + Describe(Token));
		}
	}
	static std::string Describe(const FToken& Token)
	{
		switch (Token.Kind)
		{
		case ETokenKind::End:
			return "the end of the file";
		case ETokenKind::String:
			return "a string literal";
		default:
			return "'" + Token.Text + "'";
		}
	}

	/** After the opening parenthesis; consumes the closing one. */
	std::vector<FSpecifier> ParseSpecifierList()
	{
		std::vector<FSpecifier> Specifiers;
		while (!IsSymbol(Peek(), ")"))
		{
			const FToken& NameToken = Next();
			if (NameToken.Kind != ETokenKind::Identifier)
			{
				Fail(NameToken.Line, "expected a specifier name, found " + Describe(NameToken));
			}
			FSpecifier Specifier;
			Specifier.Name = NameToken.Text;
			Specifier.Line = NameToken.Line;
			if (IsSymbol(Peek(), "="))
			{
				Next();
				Specifier.bHasValue = true;
				if (IsSymbol(Peek(), "("))
				{
					Next();
					Specifier.bIsList = true;
					Specifier.Children = ParseSpecifierList();
				}
				else
				{
					Specifier.Value = ParseValue();
				}
			}
			Specifiers.push_back(std::move(Specifier));
			if (IsSymbol(Peek(), ","))
			{
				Next();
			}
			else if (!IsSymbol(Peek(), ")"))
			{
				Fail(Peek().Line, "expected ',' or ')' in the specifier list, found " + Describe(Peek()));
			}
		}
		Next();
		return Specifiers;
	}

	/** A string literal (adjacent ones joined), an identifier, or a number with an optional sign. */
	std::string ParseValue()
	{
		const FToken& Token = Next();
		if (Token.Kind == ETokenKind::String)
		{
			std::string Value = Token.Text;
			while (Peek().Kind == ETokenKind::String)
			{
				Value += Next().Text;
			}
			return Value;
		}
		if (Token.Kind == ETokenKind::Identifier || Token.Kind == ETokenKind::Number)
		{
			return Token.Text;
		}
		if ((IsSymbol(Token, "-") || IsSymbol(Token, "+")) && Peek().Kind == ETokenKind::Number)
		{
			return Token.Text + Next().Text;
		}
		Fail(Token.Line, "expected a value, found " + Describe(Token));
	}

	static void AddMetaData(FReflectedMetaData& MetaData, const FSpecifier& Meta)
	{
		if (!Meta.bIsList)
		{
			Fail(Meta.Line, "meta takes a list: meta = (Key = \"Value\", ...)");
		}
		for (const FSpecifier& Entry : Meta.Children)
		{
			if (Entry.bIsList)
			{
				Fail(Entry.Line, "meta entry " + Entry.Name + " cannot hold a list");
			}
			MetaData.emplace_back(Entry.Name, Entry.Value);
		}
	}

	static const std::string& RequireValue(const FSpecifier& Specifier)
	{
		if (!Specifier.bHasValue || Specifier.bIsList)
		{
			Fail(Specifier.Line, Specifier.Name + " needs a value: " + Specifier.Name + " = <Value>");
		}
		return Specifier.Value;
	}

	static void RequireFlag(const FSpecifier& Specifier)
	{
		if (Specifier.bHasValue)
		{
			Fail(Specifier.Line, Specifier.Name + " takes no value");
		}
	}

	FReflectedClass ParseClass(int Line)
	{
		FReflectedClass Class;
		Class.Line = Line;
		ExpectSymbol("(", "after UCLASS");
		for (const FSpecifier& Specifier : ParseSpecifierList())
		{
			if (EqualsIgnoreCase(Specifier.Name, "config"))
			{
				Class.ConfigName = RequireValue(Specifier);
			}
			else if (EqualsIgnoreCase(Specifier.Name, "defaultconfig"))
			{
				RequireFlag(Specifier);
				Class.bDefaultConfig = true;
			}
			else if (EqualsIgnoreCase(Specifier.Name, "Abstract"))
			{
				RequireFlag(Specifier);
				Class.bAbstract = true;
			}
			else if (EqualsIgnoreCase(Specifier.Name, "MinimalAPI"))
			{
				RequireFlag(Specifier);
			}
			else if (EqualsIgnoreCase(Specifier.Name, "meta"))
			{
				AddMetaData(Class.MetaData, Specifier);
			}
			else
			{
				Fail(Specifier.Line,
					"unsupported class specifier '" + Specifier.Name + "' (supported: " + std::string(ClassSpecifiers) + ")");
			}
		}

		const FToken& Keyword = Next();
		if (Keyword.Kind != ETokenKind::Identifier || Keyword.Text != "class")
		{
			Fail(Keyword.Line, "UCLASS must be followed by a class definition, found " + Describe(Keyword));
		}
		// "class MODULE_API UName final : public USuper {": the name is the last word before ':' or '{'.
		while (Peek().Kind == ETokenKind::Identifier)
		{
			const FToken& Word = Next();
			if (Word.Text != "final")
			{
				Class.Name = Word.Text;
			}
		}
		if (Class.Name.size() < 2 || Class.Name[0] != 'U')
		{
			Fail(Keyword.Line, "a reflected class needs a name starting with U, found '" + Class.Name + "'");
		}
		if (!IsSymbol(Peek(), ":"))
		{
			Fail(Peek().Line, "class " + Class.Name + " must derive from UObject or another reflected class");
		}
		Next();
		while (Peek().Kind == ETokenKind::Identifier &&
			(Peek().Text == "public" || Peek().Text == "protected" || Peek().Text == "private" || Peek().Text == "virtual"))
		{
			Next();
		}
		while (Peek().Kind == ETokenKind::Identifier || IsSymbol(Peek(), "::"))
		{
			Class.SuperName += Next().Text;
		}
		if (Class.SuperName.empty() || IsSymbol(Peek(), "<"))
		{
			Fail(Peek().Line, "class " + Class.Name + " must name a plain reflected base class");
		}
		while (!IsSymbol(Peek(), "{"))
		{
			if (Peek().Kind == ETokenKind::End || IsSymbol(Peek(), ";"))
			{
				Fail(Peek().Line, "class " + Class.Name + " has no body");
			}
			Next();
		}
		Next();

		int Depth = 1;
		while (Depth > 0)
		{
			const FToken& Token = Next();
			if (Token.Kind == ETokenKind::End)
			{
				Fail(Class.Line, "class " + Class.Name + " is not closed");
			}
			if (IsSymbol(Token, "{"))
			{
				++Depth;
			}
			else if (IsSymbol(Token, "}"))
			{
				--Depth;
			}
			else if (Token.Kind == ETokenKind::Identifier)
			{
				ParseBodyWord(Class, Token, Depth);
			}
		}
		if (Class.GeneratedBodyLine == 0)
		{
			Fail(Class.Line, "class " + Class.Name + " has no GENERATED_BODY()");
		}
		return Class;
	}

	void ParseBodyWord(FReflectedClass& Class, const FToken& Token, int Depth)
	{
		if (Token.Text == "GENERATED_BODY")
		{
			if (Depth != 1 || Class.GeneratedBodyLine != 0)
			{
				Fail(Token.Line, "GENERATED_BODY() must appear once, directly in the body of class " + Class.Name);
			}
			Class.GeneratedBodyLine = Token.Line;
			ExpectSymbol("(", "after GENERATED_BODY");
			ExpectSymbol(")", "after GENERATED_BODY(");
		}
		else if (Token.Text == "UPROPERTY")
		{
			if (Depth != 1)
			{
				Fail(Token.Line, "UPROPERTY must declare a member of class " + Class.Name + " itself");
			}
			FReflectedProperty Property = ParseProperty(Token.Line);
			for (const FReflectedProperty& Other : Class.Properties)
			{
				if (Other.Name == Property.Name)
				{
					Fail(Property.Line, "property " + Property.Name + " is declared twice");
				}
			}
			Class.Properties.push_back(std::move(Property));
		}
		else if (Token.Text == "UFUNCTION" || Token.Text == "UCLASS" || Token.Text == "USTRUCT" || Token.Text == "UENUM" ||
			Token.Text == "GENERATED_UCLASS_BODY")
		{
			Fail(Token.Line, Token.Text + " is not supported inside a reflected class by this header tool");
		}
	}

	FReflectedProperty ParseProperty(int Line)
	{
		FReflectedProperty Property;
		Property.Line = Line;
		ExpectSymbol("(", "after UPROPERTY");
		int EditSpecifiers = 0;
		for (const FSpecifier& Specifier : ParseSpecifierList())
		{
			const bool bEdit = EqualsIgnoreCase(Specifier.Name, "EditAnywhere") || EqualsIgnoreCase(Specifier.Name, "EditDefaultsOnly");
			const bool bVisible =
				EqualsIgnoreCase(Specifier.Name, "VisibleAnywhere") || EqualsIgnoreCase(Specifier.Name, "VisibleDefaultsOnly");
			if (bEdit || bVisible)
			{
				RequireFlag(Specifier);
				if (++EditSpecifiers > 1)
				{
					Fail(Specifier.Line, "only one Edit or Visible specifier per property");
				}
				Property.bEdit = true;
				Property.bEditConst = bVisible;
			}
			else if (EqualsIgnoreCase(Specifier.Name, "config"))
			{
				RequireFlag(Specifier);
				Property.bConfig = true;
			}
			else if (EqualsIgnoreCase(Specifier.Name, "Transient"))
			{
				RequireFlag(Specifier);
				Property.bTransient = true;
			}
			else if (EqualsIgnoreCase(Specifier.Name, "Category"))
			{
				Property.MetaData.emplace_back("Category", RequireValue(Specifier));
			}
			else if (EqualsIgnoreCase(Specifier.Name, "meta"))
			{
				AddMetaData(Property.MetaData, Specifier);
			}
			else
			{
				Fail(Specifier.Line,
					"unsupported property specifier '" + Specifier.Name + "' (supported: " + std::string(PropertySpecifiers) + ")");
			}
		}

		std::vector<FToken> Declarator;
		while (Peek().Kind != ETokenKind::End && !IsSymbol(Peek(), ";") && !IsSymbol(Peek(), "=") && !IsSymbol(Peek(), "{") &&
			!IsSymbol(Peek(), ":") && !IsSymbol(Peek(), "[") && !IsSymbol(Peek(), ",") && !IsSymbol(Peek(), "("))
		{
			Declarator.push_back(Next());
		}
		const FToken& Stop = Peek();
		if (IsSymbol(Stop, ":"))
		{
			Fail(Stop.Line, "bit-field properties are not supported; declare a plain bool");
		}
		if (IsSymbol(Stop, "["))
		{
			Fail(Stop.Line, "array properties are not supported");
		}
		if (IsSymbol(Stop, ","))
		{
			Fail(Stop.Line, "declare one member per UPROPERTY");
		}
		if (IsSymbol(Stop, "("))
		{
			Fail(Stop.Line, "UPROPERTY must precede a data member, not a function");
		}
		if (Stop.Kind == ETokenKind::End)
		{
			Fail(Line, "the UPROPERTY declaration is not finished");
		}
		if (Declarator.size() < 2 || Declarator.back().Kind != ETokenKind::Identifier)
		{
			Fail(Stop.Line, "expected a type and a name after UPROPERTY(...)");
		}
		Property.Name = Declarator.back().Text;
		for (size_t Index = 0; Index + 1 < Declarator.size(); ++Index)
		{
			const bool bWord = Declarator[Index].Kind == ETokenKind::Identifier;
			if (bWord && !Property.Type.empty() && IsIdentifierChar(Property.Type.back()))
			{
				Property.Type.push_back(' ');
			}
			Property.Type += Declarator[Index].Text;
		}
		if (Property.Type != "bool" && Property.Type != "int32" && Property.Type != "float" && Property.Type != "FString")
		{
			Fail(Declarator.front().Line,
				"unsupported property type '" + Property.Type + "' of " + Property.Name + " (supported: " + std::string(SupportedTypes) +
					")");
		}

		// Skip the initialiser, if any, up to the ';' that ends the declaration.
		int Depth = 0;
		for (;;)
		{
			const FToken& Token = Next();
			if (Token.Kind == ETokenKind::End)
			{
				Fail(Line, "the declaration of " + Property.Name + " is not finished");
			}
			if (IsSymbol(Token, "{") || IsSymbol(Token, "(") || IsSymbol(Token, "["))
			{
				++Depth;
			}
			else if (IsSymbol(Token, "}") || IsSymbol(Token, ")") || IsSymbol(Token, "]"))
			{
				--Depth;
			}
			else if (IsSymbol(Token, ";") && Depth <= 0)
			{
				break;
			}
		}
		return Property;
	}

	const std::vector<FToken>& Tokens;
	size_t Pos = 0;
};

/** The file an #include names, or empty for any other directive. */
std::string GetIncludedFile(const std::string& Directive)
{
	size_t Pos = Directive.find_first_not_of(" \t");
	if (Pos == std::string::npos || Directive.compare(Pos, 7, "include") != 0)
	{
		return std::string();
	}
	Pos = Directive.find_first_of("\"<", Pos + 7);
	if (Pos == std::string::npos)
	{
		return std::string();
	}
	const size_t End = Directive.find(Directive[Pos] == '"' ? '"' : '>', Pos + 1);
	return End == std::string::npos ? std::string() : Directive.substr(Pos + 1, End - Pos - 1);
}

std::string GetFileName(const std::string& Path)
{
	const size_t Slash = Path.find_last_of("/\\");
	return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

void CheckGeneratedInclude(const std::vector<FDirective>& Directives, const FReflectedHeader& Header, const std::string& FileName)
{
	if (Header.Classes.empty())
	{
		return;
	}
	std::string Stem = GetFileName(FileName);
	Stem = Stem.substr(0, Stem.rfind('.'));
	const std::string Generated = Stem + ".generated.h";
	const FDirective* GeneratedInclude = nullptr;
	for (const FDirective& Directive : Directives)
	{
		const std::string Included = GetIncludedFile(Directive.Text);
		if (Included.empty())
		{
			continue;
		}
		if (GeneratedInclude != nullptr)
		{
			Fail(Directive.Line, "\"" + Generated + "\" must be the last include of the header");
		}
		if (GetFileName(Included) == Generated)
		{
			GeneratedInclude = &Directive;
		}
	}
	if (GeneratedInclude == nullptr)
	{
		Fail(Header.Classes.front().Line, "a header declaring UCLASS classes must include \"" + Generated + "\" (as its last include)");
	}
}
} // namespace

bool ParseReflectedHeader(const std::string& Text, const std::string& FileName, FReflectedHeader& OutHeader, std::string& OutError)
{
	OutHeader = FReflectedHeader();
	try
	{
		std::vector<FToken> Tokens;
		std::vector<FDirective> Directives;
		FLexer(Text).Run(Tokens, Directives);
		FParser(Tokens).Run(OutHeader);
		CheckGeneratedInclude(Directives, OutHeader, FileName);
		return true;
	}
	catch (const FParseError& Error)
	{
		OutError = FileName + ":" + std::to_string(Error.Line) + ": error: " + Error.Message;
		OutHeader = FReflectedHeader();
		return false;
	}
}
