/* Resource and control ids of the installer's dialogs. Plain #defines: the
   resource compiler reads this file as well as the C++ sources. The ids are
   part of the installer's outside interface (test tools find controls by
   them), so they never change. */
#pragma once

#define MAIN_DIALOG 1    /* dialog template of the main dialog */
#define PROMPT_DIALOG 2  /* dialog template of the overwrite prompt */
#define APP_MANIFEST 1   /* the application manifest (resource type 24) */

/* Main dialog. 101..108 is also the range that receives the dialog font. */
#define CTL_FOLDER 101        /* EDIT: destination folder */
#define CTL_STATUS 102        /* STATIC: status line */
#define CTL_HELP 103          /* BUTTON: Help */
#define CTL_CANCEL 104        /* BUTTON: &Cancel */
#define CTL_INTRO 105         /* STATIC: introduction */
#define CTL_OVERWRITE 106     /* BUTTON: overwrite check box */
#define CTL_FOLDER_LABEL 107  /* STATIC: "Extract to Folder:" */
#define CTL_EXTRACT 108       /* BUTTON: &Extract, the default button */
#define CTL_PROGRESS 111      /* msctls_progress32: the extraction's progress */

/* Overwrite prompt. 107..110 receive the dialog font; the icon does not. */
#define CTL_QUESTION 107      /* STATIC: the question */
#define CTL_YES_TO_ALL 108    /* BUTTON: Yes To &All */
#define CTL_YES 109           /* BUTTON: &Yes, the default button */
#define CTL_NO 110            /* BUTTON: &No */
