#include "Misc/Paths.h"

#include <filesystem>
#include <mutex>
#include <system_error>

namespace
{
struct FProjectDirState
{
	std::mutex Mutex;
	FString Dir;
};

FProjectDirState& GetProjectDirState()
{
	static FProjectDirState State;
	return State;
}

FString ToDirectoryForm(const FString& InDir)
{
	std::error_code Error;
	std::filesystem::path Path = InDir.IsEmpty() ? std::filesystem::current_path(Error) : std::filesystem::path(InDir.ToUtf8());
	if (!Error)
	{
		const std::filesystem::path Absolute = std::filesystem::absolute(Path, Error);
		if (!Error)
		{
			Path = Absolute.lexically_normal();
		}
	}
	FString Result = FString::FromUtf8(Path.generic_string());
	if (Result.IsEmpty() || Result[Result.Len() - 1] != u'/')
	{
		Result += u'/';
	}
	return Result;
}
} // namespace

FString FPaths::ProjectDir()
{
	FProjectDirState& State = GetProjectDirState();
	std::lock_guard Lock(State.Mutex);
	if (State.Dir.IsEmpty())
	{
		State.Dir = ToDirectoryForm(FString());
	}
	return State.Dir;
}

void FPaths::SetProjectDir(const FString& InDir)
{
	FString Dir = ToDirectoryForm(InDir);
	FProjectDirState& State = GetProjectDirState();
	std::lock_guard Lock(State.Mutex);
	State.Dir = MoveTemp(Dir);
}

FString FPaths::ProjectConfigDir()
{
	return ProjectDir() + TEXT("Config/");
}

FString FPaths::ProjectSavedDir()
{
	const std::filesystem::path Saved = std::filesystem::path((ProjectDir() + TEXT("Saved/")).ToUtf8());
	std::error_code Error;
	const std::filesystem::path Current = std::filesystem::current_path(Error);
	const std::filesystem::path Relative = Error ? Saved : Saved.lexically_relative(Current);
	FString Result = FString::FromUtf8((Relative.empty() ? Saved : Relative).generic_string());
	if (Result.IsEmpty() || Result[Result.Len() - 1] != u'/')
	{
		Result += u'/';
	}
	return Result;
}

FString FPaths::ConvertRelativePathToFull(const FString& InPath)
{
	std::filesystem::path Path(InPath.ToUtf8());
	if (Path.is_relative())
	{
		std::error_code Error;
		Path = std::filesystem::current_path(Error) / Path;
	}
	return FString::FromUtf8(Path.lexically_normal().generic_string());
}

FString FPaths::Combine(const FString& InPath, const FString& InName)
{
	if (InPath.IsEmpty())
	{
		return InName;
	}
	int32 NameStart = 0;
	while (NameStart < InName.Len() && InName[NameStart] == u'/')
	{
		++NameStart;
	}
	const bool bPathEndsInSlash = InPath[InPath.Len() - 1] == u'/';
	return (bPathEndsInSlash ? InPath : InPath + TEXT("/")) + InName.Mid(NameStart);
}
