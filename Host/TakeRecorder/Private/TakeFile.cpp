#include "TakeFile.h"

#include "HAL/PosixFile.h"
#include "Roles/LiveLinkCameraTypes.h"
#include "TakeRecorderLog.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace
{
using FJsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

/** Keeps "<slate>_<take>_<n>.jsonl" far below every file system's name limit. */
constexpr int32 MaxSlateCharacters = 64;
/** Beyond this many takes of one name the folder is more likely broken than busy. */
constexpr int32 MaxNameAttempts = 10000;
constexpr int32 TakeFileVersion = 1;

FString DescribeError(int InErrno)
{
	return FString::FromUtf8(std::error_code(InErrno, std::generic_category()).message());
}

FString ToFString(const std::filesystem::path& InPath)
{
	return FString::FromUtf8(InPath.string());
}

std::string FormatUtcNow()
{
	const std::chrono::system_clock::time_point Now = std::chrono::system_clock::now();
	const std::time_t Seconds = std::chrono::system_clock::to_time_t(Now);
	const long long Milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(Now.time_since_epoch()).count() % 1000;
	std::tm Utc{};
	gmtime_r(&Seconds, &Utc);
	char Date[32];
	std::strftime(Date, sizeof(Date), "%Y-%m-%dT%H:%M:%S", &Utc);
	char Stamp[48];
	std::snprintf(Stamp, sizeof(Stamp), "%s.%03lldZ", Date, Milliseconds);
	return Stamp;
}

void WriteString(FJsonWriter& Writer, const FString& Text)
{
	const std::string Utf8 = Text.ToUtf8();
	Writer.String(Utf8.data(), static_cast<rapidjson::SizeType>(Utf8.size()));
}

/** The writer prints the shortest text that reads back as the same double; a float widens to a double exactly. */
void WriteNumber(FJsonWriter& Writer, double Value)
{
	if (std::isfinite(Value))
	{
		Writer.Double(Value);
	}
	else
	{
		Writer.Null();
	}
}

void WriteVector(FJsonWriter& Writer, const char* Key, const FVector& Value)
{
	Writer.Key(Key);
	Writer.StartArray();
	WriteNumber(Writer, Value.X);
	WriteNumber(Writer, Value.Y);
	WriteNumber(Writer, Value.Z);
	Writer.EndArray();
}

/** Opens a take line's object with the member that says which kind of record it is. */
void StartRecord(FJsonWriter& Writer, const char* Record)
{
	Writer.StartObject();
	Writer.Key("record");
	Writer.String(Record);
}

/** Closes the line's object and returns the line with its line feed. */
std::string FinishRecord(FJsonWriter& Writer, const rapidjson::StringBuffer& Buffer)
{
	Writer.EndObject();
	std::string Line(Buffer.GetString(), Buffer.GetSize());
	Line.push_back('\n');
	return Line;
}

std::string MakeHeaderLine(const FString& Slate, int32 TakeNumber)
{
	rapidjson::StringBuffer Buffer;
	FJsonWriter Writer(Buffer);
	StartRecord(Writer, "take");
	Writer.Key("version");
	Writer.Int(TakeFileVersion);
	Writer.Key("slate");
	WriteString(Writer, Slate);
	Writer.Key("takeNumber");
	Writer.Int(TakeNumber);
	Writer.Key("startTime");
	Writer.String(FormatUtcNow().c_str());
	return FinishRecord(Writer, Buffer);
}

std::string MakeFrameLine(int64 Index, const FLiveLinkSubjectKey& SubjectKey, const FLiveLinkCameraFrameData& Frame)
{
	rapidjson::StringBuffer Buffer;
	FJsonWriter Writer(Buffer);
	StartRecord(Writer, "frame");
	Writer.Key("index");
	Writer.Int64(Index);
	Writer.Key("source");
	WriteString(Writer, SubjectKey.Source.ToString());
	Writer.Key("subject");
	WriteString(Writer, SubjectKey.SubjectName.ToString());

	Writer.Key("worldTime");
	WriteNumber(Writer, Frame.WorldTime.GetOffsettedTime());

	// A rate without a denominator is the record's "no scene time".
	Writer.Key("sceneTime");
	const FQualifiedFrameTime& SceneTime = Frame.MetaData.SceneTime;
	if (SceneTime.Rate.Denominator == 0)
	{
		Writer.Null();
	}
	else
	{
		Writer.StartObject();
		Writer.Key("frame");
		Writer.Int(SceneTime.Time.GetFrame().Value);
		Writer.Key("subFrame");
		WriteNumber(Writer, SceneTime.Time.GetSubFrame());
		Writer.Key("rateNumerator");
		Writer.Int(SceneTime.Rate.Numerator);
		Writer.Key("rateDenominator");
		Writer.Int(SceneTime.Rate.Denominator);
		Writer.EndObject();
	}

	const FTransform& Transform = Frame.Transform;
	WriteVector(Writer, "location", Transform.GetTranslation());
	Writer.Key("rotation");
	Writer.StartArray();
	WriteNumber(Writer, Transform.GetRotation().X);
	WriteNumber(Writer, Transform.GetRotation().Y);
	WriteNumber(Writer, Transform.GetRotation().Z);
	WriteNumber(Writer, Transform.GetRotation().W);
	Writer.EndArray();
	WriteVector(Writer, "scale", Transform.GetScale3D());

	Writer.Key("focalLength");
	WriteNumber(Writer, Frame.FocalLength);
	Writer.Key("focusDistance");
	WriteNumber(Writer, Frame.FocusDistance);
	Writer.Key("aspectRatio");
	WriteNumber(Writer, Frame.AspectRatio);
	Writer.Key("fieldOfView");
	WriteNumber(Writer, Frame.FieldOfView);
	Writer.Key("aperture");
	WriteNumber(Writer, Frame.Aperture);
	return FinishRecord(Writer, Buffer);
}

std::string MakeClosingLine(int64 FramesWritten)
{
	rapidjson::StringBuffer Buffer;
	FJsonWriter Writer(Buffer);
	StartRecord(Writer, "end");
	Writer.Key("frames");
	Writer.Int64(FramesWritten);
	Writer.Key("stopTime");
	Writer.String(FormatUtcNow().c_str());
	return FinishRecord(Writer, Buffer);
}
} // namespace

DEFINE_LOG_CATEGORY(LogTakeRecorder);

FString FTakeFile::MakeBaseName(const FString& InSlate, int32 InTakeNumber)
{
	FString Slate;
	for (int32 Index = 0; Index < InSlate.Len(); ++Index)
	{
		const TCHAR Character = InSlate[Index];
		const bool bSafe = (Character >= u'A' && Character <= u'Z') || (Character >= u'a' && Character <= u'z') ||
			(Character >= u'0' && Character <= u'9') || Character == u'-';
		if (bSafe)
		{
			Slate.AppendChar(Character);
		}
		else if (!Slate.IsEmpty() && Slate[Slate.Len() - 1] != u'_')
		{
			Slate.AppendChar(u'_');
		}
	}
	Slate = Slate.Left(MaxSlateCharacters);
	// Trimming '-' as well keeps the name from reading as a command-line option.
	int32 Start = 0;
	int32 End = Slate.Len();
	while (Start < End && (Slate[Start] == u'_' || Slate[Start] == u'-'))
	{
		++Start;
	}
	while (End > Start && (Slate[End - 1] == u'_' || Slate[End - 1] == u'-'))
	{
		--End;
	}
	Slate = Slate.Mid(Start, End - Start);
	if (Slate.IsEmpty())
	{
		Slate = TEXT("Take");
	}
	return Slate + FString::Printf(TEXT("_%03d"), InTakeNumber);
}

std::shared_ptr<FTakeFile> FTakeFile::Create(const FString& InDirectory, const FString& InSlate, int32 InTakeNumber, FString& OutError)
{
	std::error_code Error;
	std::filesystem::path Directory(InDirectory.ToUtf8());
	const std::filesystem::path Absolute = std::filesystem::absolute(Directory, Error);
	if (!Error)
	{
		Directory = Absolute.lexically_normal();
	}
	Error.clear();
	std::filesystem::create_directories(Directory, Error);
	if (!Error && !std::filesystem::is_directory(Directory))
	{
		Error = std::make_error_code(std::errc::not_a_directory);
	}
	if (Error)
	{
		OutError =
			FString::Printf(TEXT("cannot create the takes folder '%s': %s"), *ToFString(Directory), *FString::FromUtf8(Error.message()));
		return nullptr;
	}

	const std::string BaseName = MakeBaseName(InSlate, InTakeNumber).ToUtf8();
	for (int32 Attempt = 1; Attempt <= MaxNameAttempts; ++Attempt)
	{
		const std::string Name = Attempt == 1 ? BaseName + ".jsonl" : BaseName + "_" + std::to_string(Attempt) + ".jsonl";
		const std::filesystem::path FilePath = Directory / Name;
		// O_EXCL makes checking the name and creating the file one step: an existing file is never opened.
		int Descriptor = -1;
		do
		{
			Descriptor = ::open(FilePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
		} while (Descriptor < 0 && errno == EINTR);
		if (Descriptor < 0)
		{
			const int OpenErrno = errno;
			if (OpenErrno == EEXIST)
			{
				continue;
			}
			OutError = FString::Printf(TEXT("cannot create the take file '%s': %s"), *ToFString(FilePath), *DescribeError(OpenErrno));
			return nullptr;
		}

		std::shared_ptr<FTakeFile> Take(new FTakeFile(Descriptor, ToFString(FilePath)));
		if (!Take->WriteLine(MakeHeaderLine(InSlate, InTakeNumber)))
		{
			const int WriteErrno = errno;
			OutError = FString::Printf(TEXT("cannot write to the take file '%s': %s"), *Take->Path, *DescribeError(WriteErrno));
			::close(Take->Descriptor);
			Take->Descriptor = -1;
			// The file is ours and holds no complete line.
			::unlink(FilePath.c_str());
			return nullptr;
		}
		return Take;
	}
	OutError = FString::Printf(TEXT("every take file name from '%s.jsonl' to '%s_%d.jsonl' in '%s' is taken"), *FString::FromUtf8(BaseName),
		*FString::FromUtf8(BaseName), MaxNameAttempts, *ToFString(Directory));
	return nullptr;
}

FTakeFile::~FTakeFile()
{
	if (Descriptor >= 0)
	{
		::close(Descriptor);
	}
}

bool FTakeFile::WriteLine(const std::string& InLine)
{
	return FPosixFile::WriteAll(Descriptor, InLine);
}

void FTakeFile::WriteFrame(const FLiveLinkSubjectKey& InSubjectKey, const FLiveLinkCameraFrameData& InFrame)
{
	std::lock_guard Lock(Mutex);
	// Only a frame subscription left behind by a finished take can still deliver here; dropping its frames in
	// silence would hide the leak.
	checkf(Descriptor >= 0, "frame delivered to a finished take: its frame subscription outlived it");
	if (bWriteFailed)
	{
		return;
	}
	const int64 Index = FramesWritten.load(std::memory_order_relaxed);
	if (WriteLine(MakeFrameLine(Index, InSubjectKey, InFrame)))
	{
		FramesWritten.store(Index + 1, std::memory_order_relaxed);
		return;
	}
	// A line written in part would glue the next one to it, so the take stops growing at the first failure.
	const int WriteErrno = errno;
	bWriteFailed = true;
	UE_LOG(LogTakeRecorder, Error, TEXT("Cannot write to the take file '%s': %s. The frames that follow are not recorded."), *Path,
		*DescribeError(WriteErrno));
}

bool FTakeFile::Close(FString& OutError)
{
	std::lock_guard Lock(Mutex);
	if (Descriptor < 0)
	{
		return true;
	}
	int FailedErrno = 0;
	if (bWriteFailed)
	{
		OutError = FString::Printf(TEXT("cannot give the take file '%s' its closing line after a failed write"), *Path);
	}
	else if (!WriteLine(MakeClosingLine(FramesWritten.load(std::memory_order_relaxed))))
	{
		FailedErrno = errno;
	}
	if (::fsync(Descriptor) != 0 && FailedErrno == 0)
	{
		FailedErrno = errno;
	}
	if (::close(Descriptor) != 0 && FailedErrno == 0)
	{
		FailedErrno = errno;
	}
	Descriptor = -1;
	if (FailedErrno != 0 && OutError.IsEmpty())
	{
		OutError = FString::Printf(TEXT("cannot finish the take file '%s': %s"), *Path, *DescribeError(FailedErrno));
	}
	return !bWriteFailed && FailedErrno == 0;
}
