#include "Misc/ConfigCacheIni.h"

#include "AsciiCase.h"
#include "HAL/PosixFile.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

DEFINE_LOG_CATEGORY(LogConfig);

namespace
{
namespace fs = std::filesystem;

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view IniWhitespace = " \t\r\v\f";

struct FLine
{
	/** The line's bytes without its ending. */
	std::string Text;
	/** "\n", "\r\n", or empty for a last line that has none. */
	std::string Ending;
};

enum class ELineKind
{
	Other,
	Section,
	Key,
};

struct FParsedLine
{
	ELineKind Kind = ELineKind::Other;
	/** Section name or key name. */
	std::string_view Name;
	/** For a key: where the value starts, past the '=' and the spacing that follows it. */
	size_t ValueStart = 0;
};

std::string_view Trim(std::string_view Text)
{
	const size_t First = Text.find_first_not_of(IniWhitespace);
	if (First == std::string_view::npos)
	{
		return {};
	}
	const size_t Last = Text.find_last_not_of(IniWhitespace);
	return Text.substr(First, Last - First + 1);
}

FParsedLine ParseLine(std::string_view Text, bool bFirstLine)
{
	if (bFirstLine && Text.starts_with(Utf8Bom))
	{
		Text.remove_prefix(Utf8Bom.size());
	}
	const size_t Offset = Text.find_first_not_of(IniWhitespace);
	FParsedLine Parsed;
	if (Offset == std::string_view::npos || Text[Offset] == ';' || Text[Offset] == '#')
	{
		return Parsed;
	}
	if (Text[Offset] == '[')
	{
		const size_t Close = Text.rfind(']');
		if (Close != std::string_view::npos && Close > Offset)
		{
			Parsed.Kind = ELineKind::Section;
			Parsed.Name = Trim(Text.substr(Offset + 1, Close - Offset - 1));
		}
		return Parsed;
	}
	const size_t Equals = Text.find('=', Offset);
	if (Equals == std::string_view::npos)
	{
		return Parsed;
	}
	Parsed.Kind = ELineKind::Key;
	Parsed.Name = Trim(Text.substr(Offset, Equals - Offset));
	Parsed.ValueStart = Equals + 1;
	while (Parsed.ValueStart < Text.size() && (Text[Parsed.ValueStart] == ' ' || Text[Parsed.ValueStart] == '\t'))
	{
		++Parsed.ValueStart;
	}
	return Parsed;
}

/** Undoes the quoting of WriteValue; text that is not one well-formed quoted string is taken literally. */
std::string DecodeValue(std::string_view Raw)
{
	Raw = Trim(Raw);
	if (Raw.size() < 2 || Raw.front() != '"' || Raw.back() != '"')
	{
		return std::string(Raw);
	}
	std::string Decoded;
	const size_t Last = Raw.size() - 1;
	for (size_t Index = 1; Index < Last; ++Index)
	{
		const char C = Raw[Index];
		if (C == '"')
		{
			return std::string(Raw);
		}
		if (C != '\\')
		{
			Decoded.push_back(C);
			continue;
		}
		if (Index + 1 >= Last)
		{
			return std::string(Raw); // the closing quote is escaped: not a quoted string
		}
		const char Escaped = Raw[++Index];
		switch (Escaped)
		{
		case 'n':
			Decoded.push_back('\n');
			break;
		case 'r':
			Decoded.push_back('\r');
			break;
		case 't':
			Decoded.push_back('\t');
			break;
		case '\\':
		case '"':
			Decoded.push_back(Escaped);
			break;
		default:
			Decoded.push_back('\\');
			Decoded.push_back(Escaped);
			break;
		}
	}
	return Decoded;
}

std::string EncodeValue(std::string_view Value)
{
	const bool bNeedsQuotes = !Value.empty() &&
		(IniWhitespace.find(Value.front()) != std::string_view::npos || IniWhitespace.find(Value.back()) != std::string_view::npos ||
			Value.front() == '"' || Value.find_first_of("\r\n") != std::string_view::npos);
	if (!bNeedsQuotes)
	{
		return std::string(Value);
	}
	std::string Encoded = "\"";
	for (const char C : Value)
	{
		switch (C)
		{
		case '\n':
			Encoded += "\\n";
			break;
		case '\r':
			Encoded += "\\r";
			break;
		case '\t':
			Encoded += "\\t";
			break;
		case '\\':
			Encoded += "\\\\";
			break;
		case '"':
			Encoded += "\\\"";
			break;
		default:
			Encoded.push_back(C);
			break;
		}
	}
	Encoded.push_back('"');
	return Encoded;
}

bool IsValidName(std::string_view Name, std::string_view Forbidden)
{
	return !Name.empty() && Trim(Name).size() == Name.size() && Name.find_first_of(Forbidden) == std::string_view::npos;
}

std::string DescribeErrno(int Error)
{
	return std::error_code(Error, std::generic_category()).message();
}

void LogWriteError(const FString& Filename, const char* What, const std::string& Reason)
{
	UE_LOG(LogConfig, Error, TEXT("Could not save %s: %s (%s). The file was left as it was."), *Filename, UTF8_TO_TCHAR(What),
		UTF8_TO_TCHAR(Reason.c_str()));
}
} // namespace

struct FConfigFile::FImpl
{
	std::vector<FLine> Lines;
	bool bDirty = false;
	bool bNoSave = false;

	/** Positions in the result index the stored line, byte-order mark included. */
	FParsedLine Parse(size_t Index) const
	{
		FParsedLine Parsed = ParseLine(Lines[Index].Text, Index == 0);
		if (Index == 0 && Parsed.Kind == ELineKind::Key && std::string_view(Lines[0].Text).starts_with(Utf8Bom))
		{
			Parsed.ValueStart += Utf8Bom.size();
		}
		return Parsed;
	}

	/** The ending new lines get: the file's own (that of its first ended line), "\n" for a new file. */
	std::string GetNewline() const
	{
		for (const FLine& Line : Lines)
		{
			if (!Line.Ending.empty())
			{
				return Line.Ending;
			}
		}
		return "\n";
	}

	std::string Serialize() const
	{
		std::string Bytes;
		for (const FLine& Line : Lines)
		{
			Bytes += Line.Text;
			Bytes += Line.Ending;
		}
		return Bytes;
	}
};

FConfigFile::FConfigFile()
	: Impl(MakeUnique<FImpl>())
{
}

FConfigFile::~FConfigFile() = default;
FConfigFile::FConfigFile(FConfigFile&& Other) noexcept = default;
FConfigFile& FConfigFile::operator=(FConfigFile&& Other) noexcept = default;

bool FConfigFile::Read(const FString& Filename)
{
	*Impl = FImpl();
	const fs::path Path(Filename.ToUtf8());
	std::error_code Error;
	const fs::file_status Status = fs::status(Path, Error);
	if (Status.type() == fs::file_type::not_found)
	{
		return true;
	}
	const auto Fail = [this, &Filename](const std::string& Reason) {
		UE_LOG(LogConfig, Warning, TEXT("Could not read %s: %s. Its values are ignored and it will not be overwritten."), *Filename,
			UTF8_TO_TCHAR(Reason.c_str()));
		*Impl = FImpl();
		Impl->bNoSave = true;
		return false;
	};
	if (Error)
	{
		return Fail(Error.message());
	}
	if (Status.type() != fs::file_type::regular)
	{
		return Fail("it is not a regular file");
	}
	std::ifstream Stream(Path, std::ios::binary);
	std::string Bytes((std::istreambuf_iterator<char>(Stream)), std::istreambuf_iterator<char>());
	if (!Stream.good() && !Stream.eof())
	{
		return Fail("reading failed");
	}
	if (Bytes.starts_with("\xFF\xFE") || Bytes.starts_with("\xFE\xFF"))
	{
		return Fail("it is UTF-16; only UTF-8 configuration files are supported");
	}
	size_t Start = 0;
	while (Start < Bytes.size())
	{
		const size_t NewLine = Bytes.find('\n', Start);
		if (NewLine == std::string::npos)
		{
			Impl->Lines.push_back(FLine{Bytes.substr(Start), std::string()});
			break;
		}
		const bool bCarriageReturn = NewLine > Start && Bytes[NewLine - 1] == '\r';
		const size_t End = bCarriageReturn ? NewLine - 1 : NewLine;
		Impl->Lines.push_back(FLine{Bytes.substr(Start, End - Start), bCarriageReturn ? "\r\n" : "\n"});
		Start = NewLine + 1;
	}
	return true;
}

bool FConfigFile::Write(const FString& Filename) const
{
	if (Impl->bNoSave)
	{
		LogWriteError(Filename, "refused", "its earlier contents could not be read, so replacing it could lose them");
		return false;
	}
	std::error_code Error;
	fs::path Target(Filename.ToUtf8());
	if (fs::is_symlink(fs::symlink_status(Target, Error)))
	{
		const fs::path Link = fs::read_symlink(Target, Error);
		if (Error)
		{
			LogWriteError(Filename, "cannot resolve the symbolic link", Error.message());
			return false;
		}
		Target = Link.is_absolute() ? Link : Target.parent_path() / Link;
	}
	if (Target.has_parent_path())
	{
		fs::create_directories(Target.parent_path(), Error);
		if (Error)
		{
			LogWriteError(Filename, "cannot create its folder", Error.message());
			return false;
		}
	}

	mode_t Mode = 0644;
	struct stat Existing;
	if (::stat(Target.c_str(), &Existing) == 0)
	{
		Mode = Existing.st_mode & 07777;
	}
	const std::string TempPath = Target.string() + ".tmp";
	const int File = ::open(TempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, Mode);
	if (File < 0)
	{
		LogWriteError(Filename, "cannot create the temporary file", TempPath + ": " + DescribeErrno(errno));
		return false;
	}
	::fchmod(File, Mode);
	const std::string Bytes = Impl->Serialize();
	const bool bWritten = FPosixFile::WriteAll(File, Bytes) && ::fsync(File) == 0;
	const int WriteErrno = errno;
	const bool bClosed = ::close(File) == 0;
	if (!bWritten || !bClosed)
	{
		::unlink(TempPath.c_str());
		LogWriteError(Filename, "writing the temporary file failed", DescribeErrno(bWritten ? errno : WriteErrno));
		return false;
	}
	if (::rename(TempPath.c_str(), Target.c_str()) != 0)
	{
		const int RenameErrno = errno;
		::unlink(TempPath.c_str());
		LogWriteError(Filename, "cannot replace it", DescribeErrno(RenameErrno));
		return false;
	}
	// The rename is durable only once the folder itself is flushed; the file is complete either way.
	const std::string Folder = Target.has_parent_path() ? Target.parent_path().string() : std::string(".");
	const int FolderFile = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (FolderFile >= 0)
	{
		::fsync(FolderFile);
		::close(FolderFile);
	}
	return true;
}

bool FConfigFile::GetString(const TCHAR* Section, const TCHAR* Key, FString& OutValue) const
{
	const std::string SectionName = FString(Section).ToUtf8();
	const std::string KeyName = FString(Key).ToUtf8();
	bool bInSection = false;
	for (size_t Index = 0; Index < Impl->Lines.size(); ++Index)
	{
		const FParsedLine Parsed = Impl->Parse(Index);
		if (Parsed.Kind == ELineKind::Section)
		{
			bInSection = AsciiCase::Equals(Parsed.Name, SectionName);
		}
		else if (Parsed.Kind == ELineKind::Key && bInSection && AsciiCase::Equals(Parsed.Name, KeyName))
		{
			OutValue = FString::FromUtf8(DecodeValue(std::string_view(Impl->Lines[Index].Text).substr(Parsed.ValueStart)));
			return true;
		}
	}
	return false;
}

bool FConfigFile::SetString(const TCHAR* Section, const TCHAR* Key, const FString& Value)
{
	const std::string SectionName = FString(Section).ToUtf8();
	const std::string KeyName = FString(Key).ToUtf8();
	if (!IsValidName(SectionName, "]\r\n") || !IsValidName(KeyName, "=\r\n") || KeyName.front() == '[' || KeyName.front() == ';' ||
		KeyName.front() == '#')
	{
		UE_LOG(LogConfig, Error, TEXT("Cannot store [%s] %s: the name cannot stand in an ini line."), Section, Key);
		return false;
	}
	const std::string NewValue = Value.ToUtf8();

	std::vector<FLine>& Lines = Impl->Lines;
	bool bInSection = false;
	bool bInFirstOccurrence = false;
	bool bSectionFound = false;
	size_t InsertAfter = 0;
	for (size_t Index = 0; Index < Lines.size(); ++Index)
	{
		const FParsedLine Parsed = Impl->Parse(Index);
		if (Parsed.Kind == ELineKind::Section)
		{
			bInSection = AsciiCase::Equals(Parsed.Name, SectionName);
			bInFirstOccurrence = bInSection && !bSectionFound;
			if (bInFirstOccurrence)
			{
				bSectionFound = true;
				InsertAfter = Index;
			}
			continue;
		}
		if (Parsed.Kind != ELineKind::Key || !bInSection)
		{
			continue;
		}
		if (AsciiCase::Equals(Parsed.Name, KeyName))
		{
			const std::string_view OldRaw = std::string_view(Lines[Index].Text).substr(Parsed.ValueStart);
			if (DecodeValue(OldRaw) != NewValue)
			{
				Lines[Index].Text = Lines[Index].Text.substr(0, Parsed.ValueStart) + EncodeValue(NewValue);
				Impl->bDirty = true;
			}
			return true;
		}
		if (bInFirstOccurrence)
		{
			InsertAfter = Index;
		}
	}

	const std::string Newline = Impl->GetNewline();
	const std::string KeyLine = KeyName + "=" + EncodeValue(NewValue);
	if (bSectionFound)
	{
		// A file that ended without a line break keeps ending without one.
		const bool bLast = InsertAfter + 1 == Lines.size();
		const std::string Ending = bLast && Lines[InsertAfter].Ending.empty() ? std::string() : Newline;
		Lines[InsertAfter].Ending = Lines[InsertAfter].Ending.empty() ? Newline : Lines[InsertAfter].Ending;
		Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(InsertAfter) + 1, FLine{KeyLine, Ending});
	}
	else
	{
		const bool bNoFinalLineBreak = !Lines.empty() && Lines.back().Ending.empty();
		if (!Lines.empty())
		{
			if (bNoFinalLineBreak)
			{
				Lines.back().Ending = Newline;
			}
			if (!Trim(Lines.back().Text).empty())
			{
				Lines.push_back(FLine{std::string(), Newline});
			}
		}
		Lines.push_back(FLine{"[" + SectionName + "]", Newline});
		Lines.push_back(FLine{KeyLine, bNoFinalLineBreak ? std::string() : Newline});
	}
	Impl->bDirty = true;
	return true;
}

bool FConfigFile::DoesSectionExist(const TCHAR* Section) const
{
	const std::string SectionName = FString(Section).ToUtf8();
	for (size_t Index = 0; Index < Impl->Lines.size(); ++Index)
	{
		const FParsedLine Parsed = Impl->Parse(Index);
		if (Parsed.Kind == ELineKind::Section && AsciiCase::Equals(Parsed.Name, SectionName))
		{
			return true;
		}
	}
	return false;
}

bool FConfigFile::IsDirty() const
{
	return Impl->bDirty;
}

bool FConfigFile::IsNoSave() const
{
	return Impl->bNoSave;
}
